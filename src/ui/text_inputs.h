#ifndef VELMO_UI_TEXT_INPUTS_H_
#define VELMO_UI_TEXT_INPUTS_H_

#include <cstdint>
#include <optional>

#include "network/release_store.h"
#include "ui/ui_services.h"

namespace velmo {

// What the texts read beside the record: the accepted release (target
// version, download size) and how long the current installer step has run.
// Gathered once per paint, so the texts themselves stay pure functions.
struct TextInputs {
  std::optional<VerifiedRelease> release;
  uint64_t elapsed_seconds = 0;
};

// The stored release, when there is one, and the whole seconds since the
// install start time (0 when none is recorded).
TextInputs text_inputs(const UiServices& services);

}  // namespace velmo

#endif  // VELMO_UI_TEXT_INPUTS_H_
