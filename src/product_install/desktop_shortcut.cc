#include "product_install/desktop_shortcut.h"

#include "platform/file_system.h"
#include "product_install/desktop_folder.h"
#include "product_install/hresult_text.h"
#include "product_install/shortcut_run_as_user.h"

namespace velmo {

namespace {

const char* step_phrase(ShellLinkStep step) {
  switch (step) {
    case ShellLinkStep::kInitializeCom:
      return "Windows 快捷方式服务初始化失败";
    case ShellLinkStep::kCreateObject:
      return "Windows 快捷方式对象创建失败";
    case ShellLinkStep::kSetTarget:
      return "设置启动程序失败";
    case ShellLinkStep::kSetArguments:
      return "设置启动参数失败";
    case ShellLinkStep::kSetWorkingDirectory:
      return "设置工作目录失败";
    case ShellLinkStep::kSetIcon:
      return "设置快捷方式图标失败";
    case ShellLinkStep::kQuerySaveInterface:
      return "快捷方式保存接口获取失败";
    case ShellLinkStep::kSave:
      return "保存桌面快捷方式失败";
  }
  return "保存桌面快捷方式失败";
}

}  // namespace

ShellLinkFields desktop_shortcut_fields(const std::string& install_dir,
                                        const std::string& launcher_path,
                                        const std::string& main_program_path) {
  return ShellLinkFields{.target = launcher_path,
                         .arguments = kLaunchMainArgument,
                         .working_directory = install_dir,
                         .icon_path = main_program_path,
                         .icon_index = 0};
}

std::string shell_link_failure_message(const ShellLinkFailure& failure) {
  return hresult_failure(step_phrase(failure.step), failure.hresult);
}

Result<std::string> write_desktop_shortcut(const std::string& install_dir,
                                           const std::string& launcher_path,
                                           const std::string& main_program_path,
                                           const LauncherPlatform& platform) {
  const Result<std::string> desktop = find_desktop_folder(platform);
  if (!desktop) {
    return fail(desktop.error());
  }
  const std::string link_path = path_join(*desktop, kDesktopShortcutFileName);
  const ShellLinkStatus saved = platform.save_shell_link(
      desktop_shortcut_fields(install_dir, launcher_path, main_program_path), link_path);
  if (!saved) {
    return fail(shell_link_failure_message(saved.error()));
  }
  if (Status marked = mark_shortcut_run_as_user(link_path); !marked) {
    return fail(marked.error());
  }
  return link_path;
}

}  // namespace velmo
