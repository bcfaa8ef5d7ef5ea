#ifndef VELMO_TESTS_WINDOWS_PROCESS_SCAN_RESTART_MANAGER_H_
#define VELMO_TESTS_WINDOWS_PROCESS_SCAN_RESTART_MANAGER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/restart_manager.h"

namespace velmo::test {

// A Restart Manager that Wine can answer truthfully for programs: a file is
// "in use" while a process runs it as its image. Wine's own Restart Manager
// always answers "no process", so the real window's wait for a running
// workbench could not be seen at all. This answers only for running images,
// not for files merely held open, which is all the workbench case needs.
class ProcessScanRestartManager : public RestartManager {
 public:
  uint32_t start_session(uint32_t& session) override;
  uint32_t register_file(uint32_t session, const std::string& path) override;
  uint32_t get_list(uint32_t session,
                    uint32_t capacity,
                    uint32_t& needed,
                    uint32_t& returned,
                    std::vector<uint32_t>& process_ids) override;
  void end_session(uint32_t session) override;

 private:
  std::vector<std::wstring> files_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_WINDOWS_PROCESS_SCAN_RESTART_MANAGER_H_
