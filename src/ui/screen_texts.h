#ifndef VELMO_UI_SCREEN_TEXTS_H_
#define VELMO_UI_SCREEN_TEXTS_H_

#include <string>

#include "ui/text_inputs.h"
#include "ui/ui_state.h"

namespace velmo {

// The texts of the assistant's screens. Pure functions of the record (and of
// the release and elapsed time beside it), recomputed on every paint.

// Left of the header strip: "正在安装", "等待关闭程序", "准备更新", ...
std::string header_text(const UiState& state);

std::string title_text(const UiState& state);
std::string description_text(const UiState& state);

// The line above the buttons.
std::string status_line(const UiState& state, const TextInputs& inputs);

// The bottom line.
std::string footnote(const UiState& state);

// The location card's value: the install directory, or "尚未选择".
std::string location_text(const UiState& state);

}  // namespace velmo

#endif  // VELMO_UI_SCREEN_TEXTS_H_
