#ifndef VELMO_UI_POLICY_CHECK_H_
#define VELMO_UI_POLICY_CHECK_H_

#include "app/receiver_slot.h"
#include "app/workers.h"
#include "ui/ui_state.h"

namespace velmo {

// Starts a policy check for the window (at start and on re-check). The
// earlier answer stops counting at once: until the new one arrives the
// window must not offer an installation based on it.
void start_policy_check(UiState& state, ReceiverSlot& slot, PolicyFetcher fetch = nullptr);

}  // namespace velmo

#endif  // VELMO_UI_POLICY_CHECK_H_
