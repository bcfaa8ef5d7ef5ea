#ifndef VELMO_UI_COLOUR_FORMULA_H_
#define VELMO_UI_COLOUR_FORMULA_H_

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/rgb.h"

namespace velmo {

// One colour channel from a formula: rounded half away from zero (std::round
// does exactly that), then clamped, so animated colours never wrap around.
inline uint8_t colour_channel(double value) {
  return static_cast<uint8_t>(std::clamp(std::round(value), 0.0, 255.0));
}

inline Rgb colour_from(double red, double green, double blue) {
  return Rgb{colour_channel(red), colour_channel(green), colour_channel(blue)};
}

inline Rgb grey(double value) {
  return colour_from(value, value, value);
}

}  // namespace velmo

#endif  // VELMO_UI_COLOUR_FORMULA_H_
