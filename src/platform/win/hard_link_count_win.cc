#include <windows.h>

#include "platform/hard_link_count.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

OsResult<uint32_t> hard_link_count(const std::string& path) {
  // Attributes only: nothing that another program holding the file could
  // refuse. The reparse flag opens a link itself rather than its target.
  UniqueHandle object(
      ::CreateFileW(to_wide(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!object) {
    return std::unexpected(last_os_error());
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(object.get(), &info)) {
    return std::unexpected(last_os_error());
  }
  return static_cast<uint32_t>(info.nNumberOfLinks);
}

}  // namespace velmo
