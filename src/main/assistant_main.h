#ifndef VELMO_MAIN_ASSISTANT_MAIN_H_
#define VELMO_MAIN_ASSISTANT_MAIN_H_

#include <windows.h>

#include <functional>

#include "ui/ui_services.h"

namespace velmo {

// The whole life of the assistant process: command line, run mode, window,
// first worker, message loop. Always returns exit code 0.
int run_assistant(HINSTANCE instance);

// Builds the window's services around the launcher's source, which the
// assistant takes first thing.
using UiServicesFactory = std::function<UiServices(LauncherSource launcher_source)>;

// The same with the window's services made by `make_services`: the shipped
// program makes default_ui_services(); a test build of the program replaces
// the answers Wine cannot give (who has the workbench open).
int run_assistant(HINSTANCE instance, const UiServicesFactory& make_services);

}  // namespace velmo

#endif  // VELMO_MAIN_ASSISTANT_MAIN_H_
