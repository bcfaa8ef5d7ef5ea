#ifndef VELMO_UI_HOVER_ANIMATION_H_
#define VELMO_UI_HOVER_ANIMATION_H_

#include <cstdint>

#include "ui/hover_levels.h"
#include "ui/window_input.h"

namespace velmo {

// One fade step every 16 ms; a full fade takes 8 steps.
inline constexpr float kHoverStep = 0.14f;
inline constexpr unsigned kHoverStepMilliseconds = 16;

// The window's hover record: what the pointer is over and how far each
// button has faded. The window keeps it behind a lock; these functions only
// compute.
struct HoverState {
  HoverLevels levels;
  uint8_t hovered = kHitNone;
  bool leave_tracking_requested = false;
};

// Stores a newly hit id. True when it changed, which (re)starts the fade
// timer.
bool set_hovered(HoverState& state, uint8_t hit);

struct HoverStepResult {
  bool repaint = false;     // some level moved visibly
  bool stop_timer = false;  // every level has arrived
};

// Moves the hovered button's level up and every other level down by one step.
HoverStepResult step_hover(HoverLevels& levels, uint8_t hovered);

}  // namespace velmo

#endif  // VELMO_UI_HOVER_ANIMATION_H_
