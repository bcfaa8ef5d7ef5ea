#ifndef VELMO_UI_UI_TICK_H_
#define VELMO_UI_UI_TICK_H_

#include "app/receiver_slot.h"
#include "ui/ui_services.h"
#include "ui/ui_state.h"

namespace velmo {

// Ticks between two in-use probes while waiting for the workbench to exit
// (about once a second at 45 ms).
inline constexpr uint32_t kExitProbeInterval = 22;

// The startup window stays at least this many ticks (about 0.77 s), so a
// launch that succeeds at once does not just flash it.
inline constexpr uint32_t kStartupMinimumTicks = 17;

// The main window's own step on every timer tick, after the drained events were
// applied (`events_applied` says whether there were any): the check's
// progress and its end, the install sweep, the exit probe, the title
// animation. Returns whether the window must repaint.
bool tick(UiState& state, const UiServices& services, bool events_applied);

enum class AfterTimer {
  Unchanged,
  Repaint,
  // The startup window has shown a successful launch long enough.
  DestroyWindow,
  // The workbench was opened after finishing: the message loop ends.
  Quit,
};

// The startup window's step on every tick: count it, and close after a
// successful launch once the minimum time has passed.
AfterTimer launch_tick(UiState& state);

// What timer 1 does: drain the receiver slot, apply its events, then tick.
AfterTimer on_timer(UiState& state, ReceiverSlot& slot, const UiServices& services);

}  // namespace velmo

#endif  // VELMO_UI_UI_TICK_H_
