#include "platform/win/system_dll_search.h"

#include <windows.h>

#include "platform/os_error.h"

namespace velmo {

Status restrict_dll_search_to_system32() {
  if (!::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return fail(phrase_with_error("限制 DLL 搜索目录失败", last_os_error()));
  }
  return ok();
}

}  // namespace velmo
