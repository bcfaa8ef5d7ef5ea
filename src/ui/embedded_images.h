#ifndef VELMO_UI_EMBEDDED_IMAGES_H_
#define VELMO_UI_EMBEDDED_IMAGES_H_

#include "ui/decoded_image.h"
#include "ui/icon_state.h"

namespace velmo {

// The carried images, decoded for the painters. Each is decoded at its first
// use behind its own once-cell and kept for the life of the process, so
// every call returns the same buffer and any thread may ask. The images are
// constants of the program: one that does not decode stops the process with
// the decoder's message.

// The 18 x 18 icon of a component row.
const DecodedImage& status_icon(IconState state);

// The 512 x 512 emblem of the startup window, blended over the window grey.
const DecodedImage& startup_emblem();

}  // namespace velmo

#endif  // VELMO_UI_EMBEDDED_IMAGES_H_
