#ifndef VELMO_PLATFORM_WINDOWS_PATH_H_
#define VELMO_PLATFORM_WINDOWS_PATH_H_

#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// Text operations on Windows paths ("D:\IDE\运行组件\x.exe"), both separators
// accepted. Pure string work: nothing here touches the file system, so the
// rules can be tested on any machine.

// The directory part, or nothing for a bare name or a root ("D:\", "\\").
std::optional<std::string> parent_path(std::string_view path);

// The last component, after any trailing separators are ignored.
std::string_view file_name(std::string_view path);

// Joins with one backslash.
std::string join_path(std::string_view directory, std::string_view name);

}  // namespace velmo

#endif  // VELMO_PLATFORM_WINDOWS_PATH_H_
