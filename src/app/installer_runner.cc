#include "app/installer_runner.h"

#include <array>

#include "platform/process.h"

namespace velmo {

namespace {

constexpr std::array<int32_t, 4> kSuccessCodes = {0, 1641, 3010, 0x00240006};

}  // namespace

bool is_installer_success_code(int32_t exit_code) {
  for (const int32_t code : kSuccessCodes) {
    if (code == exit_code) {
      return true;
    }
  }
  return false;
}

std::string installer_failure_message(std::string_view name, int32_t exit_code) {
  return std::string(name) + "执行失败，错误码 " + std::to_string(exit_code) + "。";
}

Status run_installer(const std::string& path,
                     const std::vector<std::string>& arguments,
                     const std::string& working_directory,
                     std::string_view name,
                     const ProcessRunner& run) {
  const OsResult<int32_t> exit_code = run(path, arguments, working_directory);
  if (!exit_code) {
    return fail(phrase_with_error("启动安装程序失败", exit_code.error()));
  }
  if (!is_installer_success_code(*exit_code)) {
    return fail(installer_failure_message(name, *exit_code));
  }
  return ok();
}

Status run_installer(const std::string& path,
                     const std::vector<std::string>& arguments,
                     const std::string& working_directory,
                     std::string_view name) {
  return run_installer(path, arguments, working_directory, name, run_and_wait);
}

}  // namespace velmo
