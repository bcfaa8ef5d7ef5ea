// The path of the running program's own file: the delayed copy of a
// stand-in is started from it, and a stamped stand-in reads its version from
// its last bytes.
#ifndef VELMO_TOOLS_STANDINS_OWN_PROGRAM_H_
#define VELMO_TOOLS_STANDINS_OWN_PROGRAM_H_

#include <windows.h>

#include <string>

namespace velmo::standin {

// Empty on failure. Long paths (and a release folder name in Chinese) are
// why the buffer grows instead of stopping at MAX_PATH.
inline std::wstring own_program_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) {
      return {};
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace velmo::standin

#endif  // VELMO_TOOLS_STANDINS_OWN_PROGRAM_H_
