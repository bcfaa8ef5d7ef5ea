#include "platform/win/create_process.h"

#include "platform/win/wide.h"
#include "platform/windows_command_line.h"

namespace velmo {

OsResult<CreatedProcess> create_process_in(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::string& working_directory) {
  std::wstring command_line = to_wide(build_windows_command_line(program, arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(to_wide(program).c_str(), command_line.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, nullptr, to_wide(working_directory).c_str(),
                        &startup, &info)) {
    return std::unexpected(last_os_error());
  }
  return CreatedProcess{UniqueHandle(info.hProcess), UniqueHandle(info.hThread), info.dwProcessId};
}

}  // namespace velmo
