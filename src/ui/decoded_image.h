#ifndef VELMO_UI_DECODED_IMAGE_H_
#define VELMO_UI_DECODED_IMAGE_H_

#include <cstdint>
#include <vector>

namespace velmo {

// An image ready for StretchDIBits: rows top to bottom, 4 bytes a pixel in
// the order blue, green, red, 0, width * 4 bytes a row without padding.
struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;
};

// The BITMAPINFOHEADER that describes a DecodedImage to GDI, as plain
// numbers so that this stays portable; the painter copies them into the
// Windows structure field by field.
struct DibHeaderFields {
  uint32_t size = 40;  // sizeof(BITMAPINFOHEADER)
  int32_t width = 0;
  int32_t height = 0;  // negative: the rows run top-down
  uint16_t planes = 1;
  uint16_t bit_count = 32;
  uint32_t compression = 0;  // BI_RGB
};

DibHeaderFields dib_header_fields(const DecodedImage& image);

}  // namespace velmo

#endif  // VELMO_UI_DECODED_IMAGE_H_
