#ifndef VELMO_UI_RGB_H_
#define VELMO_UI_RGB_H_

#include <cstdint>

namespace velmo {

// A colour as the window's texts and fills use it (#RRGGBB). GDI wants red in
// the low byte; the painter converts at the call.
struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;

  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

// #RRGGBB written as 0xRRGGBB.
constexpr Rgb rgb_hex(uint32_t value) {
  return Rgb{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value)};
}

}  // namespace velmo

#endif  // VELMO_UI_RGB_H_
