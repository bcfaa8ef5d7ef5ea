#ifndef VELMO_APP_INSTALLER_RUNNER_H_
#define VELMO_APP_INSTALLER_RUNNER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_error.h"
#include "platform/result.h"

namespace velmo {

// The display name of an executable installer in messages.
inline constexpr char kExecutableInstallerName[] = "安装程序";

// Exit codes that mean the installer did its job: success, success with a
// restart started (1641) or required (3010), and "already installed"
// (0x00240006).
bool is_installer_success_code(int32_t exit_code);

// "{name}执行失败，错误码 {code}。" with the code as a signed decimal.
std::string installer_failure_message(std::string_view name, int32_t exit_code);

// Starts a program (path, arguments, working directory) and returns its exit
// code once it ended.
using ProcessRunner = std::function<
    OsResult<int32_t>(const std::string&, const std::vector<std::string>&, const std::string&)>;

// Runs an installer in `working_directory` without a console window and
// without a time limit (an installer may download for a long time). Fails
// with "启动安装程序失败：{error}" when it cannot be started, or with the
// failure message above for any exit code outside the success codes.
Status run_installer(const std::string& path,
                     const std::vector<std::string>& arguments,
                     const std::string& working_directory,
                     std::string_view name,
                     const ProcessRunner& run);

// The same with the system's process creation.
Status run_installer(const std::string& path,
                     const std::vector<std::string>& arguments,
                     const std::string& working_directory,
                     std::string_view name);

}  // namespace velmo

#endif  // VELMO_APP_INSTALLER_RUNNER_H_
