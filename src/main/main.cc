#include <windows.h>

#include "main/assistant_main.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return velmo::run_assistant(instance);
}
