#include <windows.h>

#include <vector>

#include "platform/process.h"
#include "platform/win/create_process.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "platform/windows_command_line.h"

namespace velmo {

std::optional<std::string> current_program_path() {
  // Paths can exceed MAX_PATH; grow until the whole path fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) {
      return std::nullopt;
    }
    if (length < size) {
      return from_wide(std::wstring_view(buffer.data(), length));
    }
    if (buffer.size() >= 32768) {
      return std::nullopt;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> temp_directory() {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(std::size(buffer)), buffer);
  if (length == 0 || length >= std::size(buffer)) {
    return std::nullopt;
  }
  return from_wide(std::wstring_view(buffer, length));
}

uint32_t current_process_id() {
  return ::GetCurrentProcessId();
}

bool wait_for_process_exit(uint32_t process_id) {
  UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  if (!process) {
    return false;
  }
  ::WaitForSingleObject(process.get(), INFINITE);
  return true;
}

OsResult<int32_t> run_and_wait(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& working_directory) {
  std::wstring command_line = to_wide(build_windows_command_line(program, arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(to_wide(program).c_str(), command_line.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        to_wide(working_directory).c_str(), &startup, &info)) {
    return std::unexpected(last_os_error());
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return std::unexpected(last_os_error());
  }
  DWORD exit_code = 0;
  if (!::GetExitCodeProcess(process.get(), &exit_code)) {
    return std::unexpected(last_os_error());
  }
  return static_cast<int32_t>(exit_code);
}

OsStatus start_detached_process(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const std::string& working_directory) {
  const OsResult<CreatedProcess> created = create_process_in(program, arguments, working_directory);
  if (!created) {
    return std::unexpected(created.error());
  }
  return {};
}

}  // namespace velmo
