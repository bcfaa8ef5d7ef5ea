#ifndef VELMO_UI_UI_EVENTS_H_
#define VELMO_UI_UI_EVENTS_H_

#include <optional>
#include <string>
#include <vector>

#include "app/receiver_slot.h"
#include "app/worker_event.h"
#include "ui/ui_services.h"
#include "ui/ui_state.h"

namespace velmo {

enum class AfterEvents {
  Continue,
  // The workbench was opened after finishing: the message loop ends.
  Quit,
};

// Applies drained events in arrival order. A terminal event empties `slot`
// (nothing more is received from that run) but the events after it in the
// same batch are still applied.
AfterEvents apply_events(UiState& state,
                         std::vector<WorkerEvent> events,
                         ReceiverSlot& slot,
                         const UiServices& services);

// One drain of the progress queue and its application: what timer 1 does
// before the screen's own tick.
AfterEvents drain_and_apply(UiState& state, ReceiverSlot& slot, const UiServices& services);

}  // namespace velmo

#endif  // VELMO_UI_UI_EVENTS_H_
