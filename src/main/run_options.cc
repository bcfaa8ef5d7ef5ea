#include "main/run_options.h"

#include "platform/windows_path.h"

namespace velmo {

RunFlags parse_run_flags(const std::vector<std::string>& args) {
  RunFlags flags;
  for (const std::string& arg : args) {
    flags.launch_main |= arg == "--launch-main";
    flags.preview_startup |= arg == "--preview-startup";
    flags.installer |= arg == "--installer";
    flags.resume |= arg == "--resume";
  }
  return flags;
}

std::optional<uint32_t> parse_process_id(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) {
      return std::nullopt;
    }
  }
  return static_cast<uint32_t>(value);
}

std::optional<uint32_t> wait_for_process_target(const std::vector<std::string>& args,
                                                uint32_t own_process_id) {
  if (args.size() <= 1) {
    return std::nullopt;
  }
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] != "--wait-for-process") {
      continue;
    }
    const std::optional<uint32_t> id = parse_process_id(args[i + 1]);
    if (!id || *id == own_process_id) {
      return std::nullopt;
    }
    return id;
  }
  return std::nullopt;
}

std::optional<std::string> install_dir_argument(const std::vector<std::string>& args) {
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--install-dir") {
      return args[i + 1];
    }
  }
  return std::nullopt;
}

std::optional<std::string> install_dir_from_program_path(std::string_view program_path) {
  std::optional<std::string> folder = parent_path(program_path);
  if (!folder) {
    return std::nullopt;
  }
  if (file_name(*folder) != kLauncherFolderName) {
    return folder;
  }
  return parent_path(*folder);
}

std::optional<std::string> choose_install_dir(
    const std::vector<std::string>& args,
    const RunFlags& flags,
    const std::optional<std::string>& program_path,
    const std::function<std::optional<std::string>()>& discover) {
  if (flags.launch_mode()) {
    if (program_path) {
      if (auto dir = install_dir_from_program_path(*program_path)) {
        return dir;
      }
    }
    return discover();
  }
  if (args.size() == 1) {
    return discover();
  }
  if (auto dir = install_dir_argument(args)) {
    return dir;
  }
  return discover();
}

}  // namespace velmo
