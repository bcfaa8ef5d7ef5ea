#ifndef VELMO_UI_EMBEDDED_PNG_H_
#define VELMO_UI_EMBEDDED_PNG_H_

#include <cstdint>
#include <span>

#include "ui/icon_state.h"

namespace velmo {

// The PNG files the program carries in its read-only data, byte for byte as
// committed under src/ui/images (the build checked their size and colour
// type when it embedded them).
std::span<const uint8_t> status_icon_png(IconState state);
std::span<const uint8_t> startup_emblem_png();

}  // namespace velmo

#endif  // VELMO_UI_EMBEDDED_PNG_H_
