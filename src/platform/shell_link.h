#ifndef VELMO_PLATFORM_SHELL_LINK_H_
#define VELMO_PLATFORM_SHELL_LINK_H_

#include <cstdint>
#include <expected>
#include <string>

namespace velmo {

// What a shortcut says. Nothing else is set: no description, hot key or
// window state, so the shell's defaults apply.
struct ShellLinkFields {
  std::string target;
  std::string arguments;
  std::string working_directory;
  std::string icon_path;
  int icon_index = 0;
};

// The call of the shell's link service that failed, in the order they are
// made; each has its own message for the user.
enum class ShellLinkStep {
  kInitializeCom,
  kCreateObject,
  kSetTarget,
  kSetArguments,
  kSetWorkingDirectory,
  kSetIcon,
  kQuerySaveInterface,
  kSave,
};

// The failing call and its HRESULT as the 32-bit value.
struct ShellLinkFailure {
  ShellLinkStep step = ShellLinkStep::kInitializeCom;
  uint32_t hresult = 0;
};

using ShellLinkStatus = std::expected<void, ShellLinkFailure>;

// Saves a shortcut file at `link_path` with the shell's own link object,
// replacing a file of that name. COM is initialised on the calling thread
// (single-threaded apartment, as the shell object requires) for the call
// only. The POSIX stand-in writes the same fields in the shell link file
// layout (header and string data), so what follows it acts on a real
// header.
ShellLinkStatus save_shell_link(const ShellLinkFields& fields, const std::string& link_path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_SHELL_LINK_H_
