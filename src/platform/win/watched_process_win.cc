#include <windows.h>

#include <utility>

#include "platform/watched_process.h"
#include "platform/win/create_process.h"

namespace velmo {

namespace {

struct WindowSearch {
  DWORD process_id = 0;
  HWND found = nullptr;
};

BOOL CALLBACK find_visible_window(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->process_id && ::IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND visible_window_of(DWORD process_id) {
  WindowSearch search{process_id, nullptr};
  ::EnumWindows(find_visible_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HANDLE handle_of(intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

}  // namespace

OsResult<WatchedProcess> WatchedProcess::start(const std::string& program,
                                               const std::vector<std::string>& arguments,
                                               const std::string& working_directory) {
  OsResult<CreatedProcess> created = create_process_in(program, arguments, working_directory);
  if (!created) {
    return std::unexpected(created.error());
  }
  return WatchedProcess(reinterpret_cast<intptr_t>(created->process.release()), created->id);
}

WatchedProcess::WatchedProcess(WatchedProcess&& other) noexcept
    : native_(std::exchange(other.native_, 0)), id_(other.id_) {}

WatchedProcess& WatchedProcess::operator=(WatchedProcess&& other) noexcept {
  if (this != &other) {
    if (native_ != 0) {
      ::CloseHandle(handle_of(native_));
    }
    native_ = std::exchange(other.native_, 0);
    id_ = other.id_;
  }
  return *this;
}

WatchedProcess::~WatchedProcess() {
  if (native_ != 0) {
    ::CloseHandle(handle_of(native_));
  }
}

bool WatchedProcess::has_visible_window() const {
  return visible_window_of(id_) != nullptr;
}

OsResult<std::optional<int32_t>> WatchedProcess::exit_code() const {
  const DWORD waited = ::WaitForSingleObject(handle_of(native_), 0);
  if (waited == WAIT_TIMEOUT) {
    return std::optional<int32_t>();
  }
  if (waited != WAIT_OBJECT_0) {
    return std::unexpected(last_os_error());
  }
  DWORD code = 0;
  if (!::GetExitCodeProcess(handle_of(native_), &code)) {
    return std::unexpected(last_os_error());
  }
  return std::optional<int32_t>(static_cast<int32_t>(code));
}

void bring_process_window_to_front(uint32_t process_id) {
  if (HWND window = visible_window_of(process_id)) {
    ::SetForegroundWindow(window);
  }
}

}  // namespace velmo
