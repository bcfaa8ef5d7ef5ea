#ifndef VELMO_MAIN_RUN_OPTIONS_H_
#define VELMO_MAIN_RUN_OPTIONS_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmo {

// The switches found on the command line. Each is compared case-sensitively
// and as a whole argument; every argument is looked at, the program included.
struct RunFlags {
  bool launch_main = false;
  bool preview_startup = false;
  bool installer = false;
  bool resume = false;

  // The small startup window instead of the assistant.
  bool launch_mode() const { return launch_main || preview_startup; }
  // Open the workbench once the installation completes.
  bool open_after_finish() const { return installer; }
  // Start the installation by itself once the first check is done.
  bool auto_continue() const { return installer || resume; }
};

RunFlags parse_run_flags(const std::vector<std::string>& args);

// A decimal process id with an optional leading "+"; nothing for any other
// character, an empty text or a value above 4294967295.
std::optional<uint32_t> parse_process_id(std::string_view text);

// The process to wait for: the operand of the first "--wait-for-process" that
// has one, unless it does not parse or names this process itself.
std::optional<uint32_t> wait_for_process_target(const std::vector<std::string>& args,
                                                uint32_t own_process_id);

// The operand of the first "--install-dir" that is followed by an argument.
std::optional<std::string> install_dir_argument(const std::vector<std::string>& args);

// The name of the hidden folder that holds the startup launcher inside the
// install directory.
inline constexpr std::string_view kLauncherFolderName = "运行组件";

// Launch mode runs from the workbench's own directory or from its launcher
// folder: the install directory is the program's folder, or that folder's
// parent when the folder is the launcher folder.
std::optional<std::string> install_dir_from_program_path(std::string_view program_path);

// Settles the install directory at start-up. `program_path` is absent when the
// system could not tell; `discover` finds a recorded or default location.
std::optional<std::string> choose_install_dir(
    const std::vector<std::string>& args,
    const RunFlags& flags,
    const std::optional<std::string>& program_path,
    const std::function<std::optional<std::string>()>& discover);

}  // namespace velmo

#endif  // VELMO_MAIN_RUN_OPTIONS_H_
