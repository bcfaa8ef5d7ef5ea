#ifndef VELMO_UI_STARTUP_LAYOUT_H_
#define VELMO_UI_STARTUP_LAYOUT_H_

#include <cstdint>
#include <optional>
#include <string>

#include "ui/draw_list.h"
#include "ui/ui_state.h"

namespace velmo {

inline constexpr int kStartupWidth = 620;
inline constexpr int kStartupHeight = 250;

// The startup window's elements in painting order; DrawOp::element holds
// these numbers.
enum class StartupElement : int {
  kBackground = 1,
  kTitleBar,
  kNameChip,
  kEmblem,
  kHeadline,
  kStatusDot,
  kStatusText,
  kHint,
  kTrack,
  kBar,
  kFooter,
};

// What the startup window shows: whether the launch failed (and why), and
// how many ticks it has been open.
struct StartupView {
  bool failed = false;
  std::optional<std::string> message;
  uint32_t frame_counter = 0;
};

StartupView build_startup_view(const UiState& state);

// The status line under the headline: the failure, or which stage the launch
// seems to be in (the first 42 ticks "connecting", then "verifying").
std::string startup_status_text(const StartupView& view);

// The moving segment of the indeterminate bar, or nothing to draw
// (right <= left).
struct BarSegment {
  int left = 0;
  int right = 0;
};
BarSegment startup_bar_segment(uint32_t frame_counter);

// Every drawing step of one paint of the startup window, back to front.
DrawList layout_startup_window(const StartupView& view);

}  // namespace velmo

#endif  // VELMO_UI_STARTUP_LAYOUT_H_
