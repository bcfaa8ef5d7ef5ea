#ifndef VELMO_UI_MAIN_LAYOUT_H_
#define VELMO_UI_MAIN_LAYOUT_H_

#include "ui/draw_list.h"
#include "ui/hover_levels.h"
#include "ui/main_view.h"
#include "ui/rect.h"

namespace velmo {

inline constexpr int kMainWidth = 720;
inline constexpr int kMainHeight = 620;

// The main window's elements in painting order; DrawOp::element holds these
// numbers. An element may take several steps (a button is a box and a label)
// or none (the sheen when idle, an empty progress bar).
enum class MainElement : int {
  kBackground = 1,
  kTitleBar,
  kNameBadge,
  kBadgeSheen,
  kBadgeText,
  kCloseButton,
  kHeaderStrip,
  kHeaderText,
  kVersionChip,
  kTitle,
  kDescription,
  kLocationCard,
  kLocationLabel,
  kPathBox,
  kPathText,
  kChooseDirectoryButton,
  kComponentsCard,
  kCardLabel,
  kSeparator,
  kComponentRows,
  kProgressTrack,
  kProgressFill,
  kStatusLine,
  kSecondaryButton,
  kPrimaryButton,
  kFootnote,
};

// The four buttons; input hit-testing uses the same rectangles.
inline constexpr Rect kCloseButtonRect{680, 0, 720, 34};
inline constexpr Rect kChooseDirectoryRect{578, 163, 668, 195};
inline constexpr Rect kSecondaryButtonRect{468, 536, 566, 572};
inline constexpr Rect kPrimaryButtonRect{578, 536, 690, 572};

// Row i of the components card starts at this y.
constexpr int component_row_top(int row) {
  return 258 + 34 * row;
}

// The progress fill's horizontal extent, or nothing to draw (right <= left).
struct ProgressSpan {
  int left = 0;
  int right = 0;
};
ProgressSpan progress_span(const MainView& view);

// Every drawing step of one paint of the main window, back to front.
DrawList layout_main_window(const MainView& view, const HoverLevels& hover);

}  // namespace velmo

#endif  // VELMO_UI_MAIN_LAYOUT_H_
