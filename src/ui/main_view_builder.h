#ifndef VELMO_UI_MAIN_VIEW_BUILDER_H_
#define VELMO_UI_MAIN_VIEW_BUILDER_H_

#include "ui/main_view.h"
#include "ui/text_inputs.h"
#include "ui/ui_state.h"

namespace velmo {

// What the main layout shows for the record right now: every text, row and
// button state worded by the screen logic. Built afresh for every paint.
MainView build_main_view(const UiState& state, const TextInputs& inputs);

}  // namespace velmo

#endif  // VELMO_UI_MAIN_VIEW_BUILDER_H_
