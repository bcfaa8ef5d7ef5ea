#include "platform/restart_manager.h"

namespace velmo {

namespace {

// No Restart Manager here: the portable build never guards a running
// Windows program, so every file counts as unused.
class NoProcessRestartManager final : public RestartManager {
 public:
  uint32_t start_session(uint32_t& session) override {
    session = 0;
    return 0;
  }

  uint32_t register_file(uint32_t /*session*/, const std::string& /*path*/) override { return 0; }

  uint32_t get_list(uint32_t /*session*/,
                    uint32_t /*capacity*/,
                    uint32_t& needed,
                    uint32_t& returned,
                    std::vector<uint32_t>& process_ids) override {
    // Nothing was ever asked for more room, so no buffer is offered back.
    needed = 0;
    returned = 0;
    process_ids.clear();
    return 0;
  }

  void end_session(uint32_t /*session*/) override {}
};

}  // namespace

RestartManager& system_restart_manager() {
  static NoProcessRestartManager manager;
  return manager;
}

}  // namespace velmo
