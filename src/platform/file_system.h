#ifndef VELMO_PLATFORM_FILE_SYSTEM_H_
#define VELMO_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_error.h"

namespace velmo {

// The separator of the platform the program runs on: paths built at run time
// follow it, so the same logic works on Windows and on the POSIX backend.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// `directory` and `name` joined with one platform separator.
std::string path_join(std::string_view directory, std::string_view name);

// Size of a file, read from its attributes (no link is followed on Windows).
OsResult<uint64_t> file_size(const std::string& path);

// Whether anything exists under the path.
bool path_exists(const std::string& path);

// Deletes a file (not a directory).
OsStatus remove_file(const std::string& path);

// Renames within one volume. Fails when `to` exists: replacing is always an
// explicit delete first, so nothing is overwritten by accident.
OsStatus rename_path(const std::string& from, const std::string& to);

// Copies a file's content to `to`, replacing a file of that name.
OsStatus copy_file(const std::string& from, const std::string& to);

// The names in a directory (without "." and ".."), in the order the system
// lists them; empty when it cannot be listed.
std::vector<std::string> directory_names(const std::string& path);

// Deletes a directory with everything in it. Links and junctions inside are
// removed themselves; what they point at is never entered or touched.
OsStatus remove_directory_tree(const std::string& path);

// Creates the directory and every missing parent.
OsStatus create_directories(const std::string& path);

// The final canonical path of an existing file or directory, as the system
// resolves it after opening the object (links followed, letter case and
// short names as stored). Fails when it cannot be opened.
OsResult<std::string> final_path_name(const std::string& path);

// The whole content of a file of at most `max_bytes`; a larger file fails
// with the system's "file too large" error. Small records only: the cap keeps
// a damaged or hostile file from exhausting memory.
OsResult<std::string> read_small_file(const std::string& path, size_t max_bytes);

// Whether the drive with this root ("D:\") is a fixed disk. False wherever
// drives do not exist.
bool is_fixed_drive(const std::string& root);

// The value of an environment variable; nothing when unset.
std::optional<std::string> environment_variable(const std::string& name);

}  // namespace velmo

#endif  // VELMO_PLATFORM_FILE_SYSTEM_H_
