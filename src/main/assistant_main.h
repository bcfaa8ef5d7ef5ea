#ifndef VELMO_MAIN_ASSISTANT_MAIN_H_
#define VELMO_MAIN_ASSISTANT_MAIN_H_

#include <windows.h>

namespace velmo {

// The whole life of the assistant process: command line, run mode, window,
// first worker, message loop. Always returns exit code 0.
int run_assistant(HINSTANCE instance);

}  // namespace velmo

#endif  // VELMO_MAIN_ASSISTANT_MAIN_H_
