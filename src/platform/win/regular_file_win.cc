#include <windows.h>

#include "platform/regular_file.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

bool is_regular_file_following_links(const std::string& path) {
  // Opening (rather than reading attributes by name) follows links to the
  // object itself. No access rights are needed to ask what it is; backup
  // semantics let directories open too, so they can be told apart.
  UniqueHandle object(::CreateFileW(to_wide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!object) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(object.get(), &info)) {
    return false;
  }
  // Devices and pipes opened by name are not disk files.
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         ::GetFileType(object.get()) == FILE_TYPE_DISK;
}

}  // namespace velmo
