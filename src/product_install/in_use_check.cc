#include "product_install/in_use_check.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/followed_object.h"
#include "platform/os_error.h"
#include "product_files/install_manifest.h"

namespace velmo {

namespace {

constexpr uint32_t kErrorMoreData = 234;  // ERROR_MORE_DATA

// The process list can change between the call that sizes the buffer and
// the one that fills it; three rounds ride out an ordinary start or exit,
// anything busier is reported rather than chased.
constexpr int kListAttempts = 3;

constexpr char kStillChangingMessage[] =
    "工作台占用状态持续变化，暂时无法安全确认。请稍后点击“重新检测”。";
constexpr char kStillExitingMessage[] = "VelmoQen工作台仍在退出，请稍候重新检测后继续更新。";

std::string stage_failure(std::string_view stage, uint32_t code, std::string_view advice) {
  return "无法检查工作台占用状态（" + std::string(stage) + "，错误码 " + std::to_string(code) +
         "）。" + std::string(advice);
}

// Ends a started session on every path out of the query.
class SessionScope {
 public:
  SessionScope(RestartManager& rm, uint32_t session) : rm_(rm), session_(session) {}
  ~SessionScope() { rm_.end_session(session_); }
  SessionScope(const SessionScope&) = delete;
  SessionScope& operator=(const SessionScope&) = delete;

  uint32_t get() const { return session_; }

 private:
  RestartManager& rm_;
  uint32_t session_;
};

// At least one entry more than last time, so a system that keeps asking for
// the same too-small room still sees the buffer grow; never wraps around.
uint32_t next_capacity(uint32_t capacity, uint32_t needed) {
  const uint32_t grown = capacity == std::numeric_limits<uint32_t>::max() ? capacity : capacity + 1;
  return std::max(needed, grown);
}

// Only entries that are both inside the buffer and reported as filled
// count; an id of 0 is an entry the system left empty.
InUseAnswer first_holder(uint32_t capacity,
                         uint32_t returned,
                         const std::vector<uint32_t>& process_ids) {
  const size_t count =
      std::min({static_cast<size_t>(capacity), static_cast<size_t>(returned), process_ids.size()});
  for (size_t i = 0; i < count; ++i) {
    if (process_ids[i] != 0) {
      return {.in_use = true, .process_id = process_ids[i]};
    }
  }
  return {};
}

Result<InUseAnswer> list_holders(RestartManager& rm, uint32_t session) {
  uint32_t capacity = 0;
  for (int attempt = 0; attempt < kListAttempts; ++attempt) {
    uint32_t needed = 0;
    uint32_t returned = 0;
    std::vector<uint32_t> process_ids;
    const uint32_t result = rm.get_list(session, capacity, needed, returned, process_ids);
    if (result == 0) {
      return first_holder(capacity, returned, process_ids);
    }
    if (result != kErrorMoreData) {
      return fail(
          stage_failure("读取目标文件占用者失败", result, "为避免覆盖运行中的程序，已停止更新。"));
    }
    capacity = next_capacity(capacity, needed);
  }
  return fail(kStillChangingMessage);
}

// The name the Restart Manager is asked about: the object itself, so a link
// or a differently spelled path cannot hide a running program.
Result<std::string> resolve_executable(const std::string& executable_path) {
  OsResult<std::string> canonical = final_path_name(executable_path);
  if (!canonical) {
    return fail(phrase_with_error("无法确认工作台程序路径 " + executable_path, canonical.error()));
  }
  if (!is_regular_file_following_links(*canonical)) {
    return fail("工作台程序不存在：" + *canonical);
  }
  return std::move(*canonical);
}

}  // namespace

Result<InUseAnswer> query_workbench_in_use(const std::string& executable_path, RestartManager& rm) {
  const Result<std::string> executable = resolve_executable(executable_path);
  if (!executable) {
    return fail(executable.error());
  }
  uint32_t session = 0;
  if (const uint32_t result = rm.start_session(session); result != 0) {
    return fail(stage_failure("Restart Manager 启动失败", result, "请稍后点击“重新检测”。"));
  }
  const SessionScope scope(rm, session);
  if (const uint32_t result = rm.register_file(scope.get(), *executable); result != 0) {
    return fail(
        stage_failure("登记目标文件失败", result, "请确认安装目录可访问后点击“重新检测”。"));
  }
  return list_holders(rm, scope.get());
}

Status ensure_workbench_not_running(const std::string& install_dir, RestartManager& rm) {
  // Not an installation of ours: there is no workbench of ours to replace.
  if (!read_install_manifest(install_dir)) {
    return ok();
  }
  const Result<InUseAnswer> answer =
      query_workbench_in_use(path_join(install_dir, kMainProgramFileName), rm);
  if (!answer) {
    return fail(answer.error());
  }
  if (answer->in_use) {
    return fail(kStillExitingMessage);
  }
  return ok();
}

}  // namespace velmo
