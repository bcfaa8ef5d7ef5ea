#include "platform/file_system.h"

#include <array>
#include <cerrno>

#include "platform/file.h"

namespace velmo {

std::string path_join(std::string_view directory, std::string_view name) {
  std::string joined(directory);
  if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') {
    joined.push_back(kPathSeparator);
  }
  joined.append(name);
  return joined;
}

namespace {

#ifdef _WIN32
constexpr uint32_t kFileTooLarge = 223;  // ERROR_FILE_TOO_LARGE
#else
constexpr uint32_t kFileTooLarge = EFBIG;
#endif

}  // namespace

OsResult<std::string> read_small_file(const std::string& path, size_t max_bytes) {
  OsResult<File> file = File::open_for_read(path);
  if (!file) {
    return std::unexpected(file.error());
  }
  std::string content;
  std::array<std::byte, 16384> buffer;
  for (;;) {
    const OsResult<size_t> count = file->read(buffer);
    if (!count) {
      return std::unexpected(count.error());
    }
    if (*count == 0) {
      return content;
    }
    if (content.size() + *count > max_bytes) {
      return std::unexpected(os_error_from_code(kFileTooLarge));
    }
    content.append(reinterpret_cast<const char*>(buffer.data()), *count);
  }
}

}  // namespace velmo
