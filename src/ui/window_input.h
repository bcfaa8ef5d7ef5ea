#ifndef VELMO_UI_WINDOW_INPUT_H_
#define VELMO_UI_WINDOW_INPUT_H_

#include <cstdint>
#include <optional>

#include "ui/hover_levels.h"

namespace velmo {

// Hit ids as the hover state stores them: 0..3 are the HoverButton values.
inline constexpr uint8_t kHitNone = 4;
// Nothing is hit because a worker downloads or installs; kept apart from
// kHitNone so a busy window never shows a hover.
inline constexpr uint8_t kHitBusy = 0xFF;

// Which button the pointer is over (inclusive bounds). While busy nothing
// is; the primary button counts only while it is active.
uint8_t hit_test(bool busy, bool primary_active, int x, int y);

// Which button a click at (x, y) lands on, checked close, choose directory,
// secondary, primary. The primary region counts even when the button is
// inactive, and busy screens are left to the button actions, which ignore
// the click there.
std::optional<HoverButton> click_target(int x, int y);

// The title bar drags the window, except for the close button's strip.
bool is_title_bar_drag(int x, int y);

enum class CursorShape {
  kArrow,
  kHand,
};

// A hand only over the buttons that act in place (1-3); the close button
// keeps the arrow like a system caption button.
CursorShape cursor_for(uint8_t hit);

}  // namespace velmo

#endif  // VELMO_UI_WINDOW_INPUT_H_
