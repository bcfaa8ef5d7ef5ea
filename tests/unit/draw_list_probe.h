// Looks up the steps of one layout element in a DrawList, so tests name what
// they check instead of indexing into the list.
#ifndef VELMO_TESTS_UNIT_DRAW_LIST_PROBE_H_
#define VELMO_TESTS_UNIT_DRAW_LIST_PROBE_H_

#include <cmath>
#include <ostream>
#include <variant>
#include <vector>

#include "ui/draw_list.h"
#include "ui/main_layout.h"
#include "ui/rgb.h"
#include "ui/startup_layout.h"

namespace velmo {

// Readable failure messages for colours and rectangles.
inline void PrintTo(const Rgb& colour, std::ostream* out) {
  *out << "(" << int{colour.r} << ", " << int{colour.g} << ", " << int{colour.b} << ")";
}
inline void PrintTo(const Rect& rect, std::ostream* out) {
  *out << "(" << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom << ")";
}

}  // namespace velmo

namespace velmo::test {

// Element is a layout's element enumeration (MainElement, StartupElement).
template <typename Element>
std::vector<const DrawOp*> ops_of(const DrawList& list, Element element) {
  std::vector<const DrawOp*> found;
  for (const DrawOp& op : list.ops) {
    if (op.element == static_cast<int>(element)) {
      found.push_back(&op);
    }
  }
  return found;
}

// The element's only step of shape T, or nullptr when it has none or several.
template <typename T, typename Element>
const T* only_step(const DrawList& list, Element element) {
  const T* step = nullptr;
  for (const DrawOp* op : ops_of(list, element)) {
    if (const T* candidate = std::get_if<T>(&op->shape)) {
      if (step != nullptr) {
        return nullptr;
      }
      step = candidate;
    }
  }
  return step;
}

// A formula's colour written out the long way: each channel rounded half
// away from zero and clamped to 0..255. The values here are never negative,
// so floor(v + 0.5) rounds them.
inline int expected_channel(double value) {
  const int rounded = static_cast<int>(std::floor(value + 0.5));
  return rounded < 0 ? 0 : (rounded > 255 ? 255 : rounded);
}

inline Rgb expected_colour(double red, double green, double blue) {
  return Rgb{static_cast<uint8_t>(expected_channel(red)),
             static_cast<uint8_t>(expected_channel(green)),
             static_cast<uint8_t>(expected_channel(blue))};
}

// The eased hover level e = (3 - 2h)h^2.
inline double expected_ease(double h) {
  return (3 - 2 * h) * h * h;
}

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_DRAW_LIST_PROBE_H_
