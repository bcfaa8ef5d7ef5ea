#ifndef VELMO_TESTS_UNIT_PNG_BUILDER_H_
#define VELMO_TESTS_UNIT_PNG_BUILDER_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmo::test {

// PNG colour types.
inline constexpr uint8_t kPngGray = 0;
inline constexpr uint8_t kPngRgb = 2;
inline constexpr uint8_t kPngPalette = 3;
inline constexpr uint8_t kPngGrayAlpha = 4;
inline constexpr uint8_t kPngRgba = 6;

// A picture to write as PNG: 8-bit samples in the colour type's order, rows
// top to bottom. A palette picture holds one index a pixel and its palette
// as r, g, b triples.
struct PngPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t colour_type = kPngRgb;
  std::vector<uint8_t> samples;
  std::vector<uint8_t> palette;
};

inline size_t png_samples_per_pixel(uint8_t colour_type) {
  switch (colour_type) {
    case kPngRgb:
      return 3;
    case kPngGrayAlpha:
      return 2;
    case kPngRgba:
      return 4;
    default:
      return 1;
  }
}

// `width` x `height` pixels, each `pixel` (as many samples as the colour
// type has).
inline PngPicture uniform_picture(uint32_t width,
                                  uint32_t height,
                                  uint8_t colour_type,
                                  const std::vector<uint8_t>& pixel) {
  PngPicture picture{width, height, colour_type, {}, {}};
  for (size_t i = 0; i < size_t{width} * height; ++i) {
    picture.samples.insert(picture.samples.end(), pixel.begin(), pixel.end());
  }
  return picture;
}

namespace png_builder_internal {

inline uint32_t crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

inline uint32_t adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1;
  uint32_t b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

inline void put_be32(std::vector<uint8_t>& out, uint32_t value) {
  out.insert(out.end(), {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                         static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

inline void put_chunk(std::vector<uint8_t>& out,
                      std::string_view type,
                      const std::vector<uint8_t>& data) {
  put_be32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  put_be32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks: simple, and still a
// stream every inflater must accept.
inline std::vector<uint8_t> zlib_stored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t offset = 0;
  do {
    const size_t length = std::min<size_t>(raw.size() - offset, 65535);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.insert(out.end(), {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                           static_cast<uint8_t>(~length), static_cast<uint8_t>(~length >> 8)});
    out.insert(out.end(), raw.begin() + static_cast<ptrdiff_t>(offset),
               raw.begin() + static_cast<ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < raw.size());
  put_be32(out, adler32(raw));
  return out;
}

}  // namespace png_builder_internal

// The PNG file of `picture`: 8-bit samples, no interlace, filter type 0.
inline std::vector<uint8_t> build_png(const PngPicture& picture) {
  using namespace png_builder_internal;
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  put_be32(header, picture.width);
  put_be32(header, picture.height);
  header.insert(header.end(), {8, picture.colour_type, 0, 0, 0});
  put_chunk(png, "IHDR", header);
  if (!picture.palette.empty()) {
    put_chunk(png, "PLTE", picture.palette);
  }
  const size_t row_bytes = picture.width * png_samples_per_pixel(picture.colour_type);
  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    const auto row = picture.samples.begin() + static_cast<ptrdiff_t>(y * row_bytes);
    raw.insert(raw.end(), row, row + static_cast<ptrdiff_t>(row_bytes));
  }
  put_chunk(png, "IDAT", zlib_stored(raw));
  put_chunk(png, "IEND", {});
  return png;
}

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_PNG_BUILDER_H_
