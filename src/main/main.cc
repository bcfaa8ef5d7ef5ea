#include <windows.h>

#include "main/assistant_main.h"
#include "platform/win/system_dll_search.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // When the search cannot be limited the program ends at once and shows
  // nothing, like any other start-up failure (exit code 0): any window, even
  // a message box, has the system load theme and version DLLs by the very
  // search that would take them from the program's folder.
  if (!velmo::restrict_dll_search_to_system32()) {
    return 0;
  }
  return velmo::run_assistant(instance);
}
