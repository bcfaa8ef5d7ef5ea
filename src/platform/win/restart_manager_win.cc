#include <windows.h>

#include <restartmanager.h>

#include <new>
#include <vector>

#include "platform/restart_manager.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

class SystemRestartManager final : public RestartManager {
 public:
  uint32_t start_session(uint32_t& session) override {
    // The key names the session for other processes joining it; nobody
    // joins ours, but the call insists on a buffer for it.
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    DWORD handle = 0;
    const DWORD result = ::RmStartSession(&handle, 0, key);
    if (result == ERROR_SUCCESS) {
      session = handle;
    }
    return result;
  }

  uint32_t register_file(uint32_t session, const std::string& path) override {
    const std::wstring wide = to_wide(path);
    LPCWSTR files[] = {wide.c_str()};
    return ::RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr);
  }

  uint32_t get_list(uint32_t session,
                    uint32_t capacity,
                    uint32_t& needed,
                    uint32_t& returned,
                    std::vector<uint32_t>& process_ids) override {
    // The capacity comes from the system's own "needed" count; an absurd one
    // must end as an error code, not as an exception out of this module.
    std::vector<RM_PROCESS_INFO> entries;
    try {
      entries.resize(capacity);
      process_ids.assign(capacity, 0);
    } catch (const std::bad_alloc&) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    UINT needed_count = 0;
    UINT count = capacity;
    DWORD reboot_reasons = 0;
    const DWORD result = ::RmGetList(session, &needed_count, &count,
                                     entries.empty() ? nullptr : entries.data(), &reboot_reasons);
    needed = needed_count;
    returned = count;
    for (size_t i = 0; i < entries.size(); ++i) {
      process_ids[i] = entries[i].Process.dwProcessId;
    }
    return result;
  }

  void end_session(uint32_t session) override { ::RmEndSession(session); }
};

}  // namespace

RestartManager& system_restart_manager() {
  static SystemRestartManager manager;
  return manager;
}

}  // namespace velmo
