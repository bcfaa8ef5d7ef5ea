#include "ui/png_frame.h"

#include <climits>
#include <cstddef>
#include <memory>

// stb_image is compiled here and nowhere else, reduced to PNG from memory.
// STB_IMAGE_STATIC keeps its functions private to this file, which leaves
// the ones this file does not call unused.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace velmo {
namespace {

// The signature, the IHDR chunk's length and type, its 13 bytes and CRC.
constexpr size_t kMinimumPngBytes = 8 + 8 + 13 + 4;
// Byte offset of the colour type inside the file: signature (8), chunk
// length and type (8), width and height (8), bit depth (1).
constexpr size_t kColourTypeOffset = 25;
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kColourTypeRgba = 6;

struct StbImageFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};
using StbPixels = std::unique_ptr<stbi_uc, StbImageFree>;

}  // namespace

std::expected<PngFrame, PngFrameError> decode_png_frame(std::span<const uint8_t> png) {
  if (png.size() < kMinimumPngBytes || png.size() > static_cast<size_t>(INT_MAX)) {
    return std::unexpected(PngFrameError::kHeader);
  }
  const int length = static_cast<int>(png.size());
  int width = 0;
  int height = 0;
  int channels_in_file = 0;
  if (!stbi_info_from_memory(png.data(), length, &width, &height, &channels_in_file)) {
    return std::unexpected(PngFrameError::kHeader);
  }
  // stb_image reports a palette image as RGB or RGBA, so the colour type is
  // read from the header it has just accepted.
  const uint8_t colour_type = png[kColourTypeOffset];
  const int channels = colour_type == kColourTypeRgba ? 4 : 3;

  StbPixels pixels(
      stbi_load_from_memory(png.data(), length, &width, &height, &channels_in_file, channels));
  if (!pixels) {
    return std::unexpected(PngFrameError::kFrame);
  }
  if (colour_type != kColourTypeRgb && colour_type != kColourTypeRgba) {
    return std::unexpected(PngFrameError::kColourType);
  }

  PngFrame frame;
  frame.width = static_cast<uint32_t>(width);
  frame.height = static_cast<uint32_t>(height);
  frame.has_alpha = colour_type == kColourTypeRgba;
  const size_t count = size_t{frame.width} * frame.height * static_cast<size_t>(channels);
  frame.samples.assign(pixels.get(), pixels.get() + count);
  return frame;
}

}  // namespace velmo
