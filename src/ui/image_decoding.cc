#include "ui/image_decoding.h"

#include <cstddef>
#include <string>
#include <utility>

#include "ui/png_frame.h"

namespace velmo {
namespace {

constexpr uint32_t kEmblemSide = 512;
constexpr uint32_t kWindowGrey = 30;

struct ImageMessages {
  const char* header;
  const char* frame;
  const char* colour_type;
};

constexpr ImageMessages kStatusIconMessages = {
    "embedded status icon must be valid PNG",
    "embedded status icon frame must decode",
    "embedded status icon must use RGB or RGBA pixels",
};

constexpr ImageMessages kStartupEmblemMessages = {
    "embedded startup logo must be valid PNG",
    "embedded startup logo frame must decode",
    "embedded startup logo must use RGB or RGBA pixels",
};

constexpr char kStartupEmblemSizeMessage[] = "embedded startup logo must be 512 × 512 pixels";

Result<PngFrame> decode_frame(std::span<const uint8_t> png, const ImageMessages& messages) {
  auto frame = decode_png_frame(png);
  if (frame) {
    return std::move(*frame);
  }
  switch (frame.error()) {
    case PngFrameError::kHeader:
      return fail(messages.header);
    case PngFrameError::kFrame:
      return fail(messages.frame);
    case PngFrameError::kColourType:
      return fail(messages.colour_type);
  }
  return fail(messages.frame);
}

DecodedImage empty_image_like(const PngFrame& frame) {
  DecodedImage image;
  image.width = frame.width;
  image.height = frame.height;
  image.pixels.reserve(size_t{frame.width} * frame.height * 4);
  return image;
}

// (r, g, b[, a]) to (b, g, r, 0), dropping alpha.
DecodedImage copy_ignoring_alpha(const PngFrame& frame) {
  DecodedImage image = empty_image_like(frame);
  const size_t step = frame.has_alpha ? 4 : 3;
  for (size_t i = 0; i + step <= frame.samples.size(); i += step) {
    image.pixels.insert(image.pixels.end(),
                        {frame.samples[i + 2], frame.samples[i + 1], frame.samples[i], 0});
  }
  return image;
}

// (r, g, b, a) to (b', g', r', 0), each channel blended over the grey.
DecodedImage blend_rgba(const PngFrame& frame) {
  DecodedImage image = empty_image_like(frame);
  for (size_t i = 0; i + 4 <= frame.samples.size(); i += 4) {
    const uint8_t alpha = frame.samples[i + 3];
    image.pixels.insert(image.pixels.end(), {blend_over_window_grey(frame.samples[i + 2], alpha),
                                             blend_over_window_grey(frame.samples[i + 1], alpha),
                                             blend_over_window_grey(frame.samples[i], alpha), 0});
  }
  return image;
}

}  // namespace

uint8_t blend_over_window_grey(uint8_t channel, uint8_t alpha) {
  const uint32_t sum = uint32_t{channel} * alpha + (255u - alpha) * kWindowGrey;
  return static_cast<uint8_t>(sum / 255u);
}

Result<DecodedImage> decode_status_icon(std::span<const uint8_t> png) {
  auto frame = decode_frame(png, kStatusIconMessages);
  if (!frame) {
    return fail(frame.error());
  }
  return copy_ignoring_alpha(*frame);
}

Result<DecodedImage> decode_startup_emblem(std::span<const uint8_t> png) {
  auto frame = decode_frame(png, kStartupEmblemMessages);
  if (!frame) {
    return fail(frame.error());
  }
  if (frame->width != kEmblemSide || frame->height != kEmblemSide) {
    return fail(kStartupEmblemSizeMessage);
  }
  return frame->has_alpha ? blend_rgba(*frame) : copy_ignoring_alpha(*frame);
}

}  // namespace velmo
