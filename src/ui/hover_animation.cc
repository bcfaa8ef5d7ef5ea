#include "ui/hover_animation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace velmo {

namespace {

// Changes below one float epsilon are rounding, not movement.
constexpr float kVisibleChange = 1.1920929e-07f;

bool is_hovered(size_t index, uint8_t hovered) {
  return index == hovered;
}

bool arrived(const HoverLevels& levels, uint8_t hovered) {
  for (size_t i = 0; i < kHoverButtonCount; ++i) {
    const float target = is_hovered(i, hovered) ? 1.0f : 0.0f;
    if (levels.level[i] != target) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool set_hovered(HoverState& state, uint8_t hit) {
  if (state.hovered == hit) {
    return false;
  }
  state.hovered = hit;
  return true;
}

HoverStepResult step_hover(HoverLevels& levels, uint8_t hovered) {
  HoverStepResult result;
  for (size_t i = 0; i < kHoverButtonCount; ++i) {
    const float before = levels.level[i];
    const float after = is_hovered(i, hovered) ? std::min(1.0f, before + kHoverStep)
                                               : std::max(0.0f, before - kHoverStep);
    levels.level[i] = after;
    if (std::fabs(after - before) > kVisibleChange) {
      result.repaint = true;
    }
  }
  result.stop_timer = arrived(levels, hovered);
  return result;
}

}  // namespace velmo
