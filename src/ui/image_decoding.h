#ifndef VELMO_UI_IMAGE_DECODING_H_
#define VELMO_UI_IMAGE_DECODING_H_

#include <cstdint>
#include <span>

#include "platform/result.h"
#include "ui/decoded_image.h"

namespace velmo {

// The window's images from their PNG bytes to DecodedImage, or the message
// of the step that refused them. Pure: the carried images are decoded
// through these once each, and tests feed them broken files.

// A status icon, RGB or RGBA; alpha is ignored because the icons carry the
// card's fill as their background.
Result<DecodedImage> decode_status_icon(std::span<const uint8_t> png);

// The startup emblem: exactly 512 x 512, RGB or RGBA; RGBA is blended over
// the window's grey.
Result<DecodedImage> decode_startup_emblem(std::span<const uint8_t> png);

// One colour channel with straight alpha over the window background grey 30:
// (c * a + (255 - a) * 30) / 255, truncating.
uint8_t blend_over_window_grey(uint8_t channel, uint8_t alpha);

}  // namespace velmo

#endif  // VELMO_UI_IMAGE_DECODING_H_
