#ifndef VELMO_UI_UI_EVENTS_H_
#define VELMO_UI_UI_EVENTS_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/receiver_slot.h"
#include "app/worker_event.h"
#include "environment/environment_check.h"
#include "platform/result.h"
#include "ui/ui_state.h"

namespace velmo {

// What applying events may call outside the record. Tests replace them.
struct UiServices {
  std::function<EnvironmentCheck(const std::optional<std::string>& install_dir)> check_environment;
  std::function<Status(const UiState& state)> open_workbench;
};

// The services of the real program.
UiServices default_ui_services();

// Opens the installed workbench through its launcher.
// Interim: until launch mode exists this reports that it cannot.
Status open_workbench(const UiState& state);

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
