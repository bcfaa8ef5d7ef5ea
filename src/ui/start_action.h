#ifndef VELMO_UI_START_ACTION_H_
#define VELMO_UI_START_ACTION_H_

#include "ui/ui_services.h"
#include "ui/ui_state.h"

namespace velmo {

// The start/continue action: the primary button on Ready, and the automatic
// continuation after a check or after the workbench exited. Acts only on
// Ready with a supported report and then returns true. An update whose
// workbench is running waits on WaitingForExit; with nothing missing the
// screen is Finished; otherwise the installation run starts.
bool start_action(UiState& state, const UiServices& services);

}  // namespace velmo

#endif  // VELMO_UI_START_ACTION_H_
