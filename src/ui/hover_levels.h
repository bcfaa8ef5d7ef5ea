#ifndef VELMO_UI_HOVER_LEVELS_H_
#define VELMO_UI_HOVER_LEVELS_H_

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace velmo {

// The window's four buttons, numbered as the hover state stores them.
enum class HoverButton : uint8_t {
  kClose = 0,
  kChooseDirectory = 1,
  kSecondary = 2,
  kPrimary = 3,
};

inline constexpr size_t kHoverButtonCount = 4;

// How far each button has faded towards its hover colours (0..1).
struct HoverLevels {
  std::array<float, kHoverButtonCount> level{};

  float& operator[](HoverButton button) { return level[static_cast<size_t>(button)]; }
  float operator[](HoverButton button) const { return level[static_cast<size_t>(button)]; }
};

// The linear fade looks mechanical; smoothstep eases both of its ends.
inline double eased_level(float level) {
  const double h = std::clamp(static_cast<double>(level), 0.0, 1.0);
  return (3.0 - 2.0 * h) * h * h;
}

}  // namespace velmo

#endif  // VELMO_UI_HOVER_LEVELS_H_
