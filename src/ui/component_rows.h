#ifndef VELMO_UI_COMPONENT_ROWS_H_
#define VELMO_UI_COMPONENT_ROWS_H_

#include <string>

#include "ui/icon_state.h"
#include "ui/rgb.h"
#include "ui/text_inputs.h"
#include "ui/ui_state.h"

namespace velmo {

// The card "组件检测" has six rows: the system, then components 1..5.
inline constexpr int kComponentRowCount = 6;

struct ComponentRow {
  IconState icon = IconState::kPending;
  std::string label;
  std::string status;
  Rgb colour;

  bool operator==(const ComponentRow&) const = default;
};

inline constexpr Rgb kRowStatusColour = rgb_hex(0xCCCCCC);
inline constexpr Rgb kUnsupportedColour = rgb_hex(0xF48771);

// Row `k` (0..5): icon, label, status text and its colour. Any other `k`
// yields an empty row rather than reading past the report.
ComponentRow row(const UiState& state, const TextInputs& inputs, int k);

}  // namespace velmo

#endif  // VELMO_UI_COMPONENT_ROWS_H_
