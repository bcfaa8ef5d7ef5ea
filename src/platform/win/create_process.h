#ifndef VELMO_PLATFORM_WIN_CREATE_PROCESS_H_
#define VELMO_PLATFORM_WIN_CREATE_PROCESS_H_

#include <windows.h>

#include <string>
#include <vector>

#include "platform/os_error.h"
#include "platform/win/handles.h"

namespace velmo {

// A started program's process and main thread handles.
struct CreatedProcess {
  UniqueHandle process;
  UniqueHandle thread;
  DWORD id = 0;
};

// Starts `program` with `arguments` in `working_directory`, inheriting no
// handles and with this process's environment.
OsResult<CreatedProcess> create_process_in(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::string& working_directory);

}  // namespace velmo

#endif  // VELMO_PLATFORM_WIN_CREATE_PROCESS_H_
