#ifndef VELMO_UI_PNG_FRAME_H_
#define VELMO_UI_PNG_FRAME_H_

#include <cstdint>
#include <expected>
#include <span>
#include <vector>

namespace velmo {

// The first frame of a PNG file as 8-bit samples, in the file's own colour
// type: 3 samples a pixel (r, g, b) for RGB, 4 (r, g, b, a) for RGBA.
struct PngFrame {
  uint32_t width = 0;
  uint32_t height = 0;
  bool has_alpha = false;
  std::vector<uint8_t> samples;
};

// Which step refused the file; each image names the step in its own words.
enum class PngFrameError {
  kHeader,      // no PNG signature or no valid image header
  kFrame,       // the image data does not decode
  kColourType,  // neither RGB nor RGBA (grayscale, palette, with or without alpha)
};

std::expected<PngFrame, PngFrameError> decode_png_frame(std::span<const uint8_t> png);

}  // namespace velmo

#endif  // VELMO_UI_PNG_FRAME_H_
