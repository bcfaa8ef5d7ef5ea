#include <windows.h>

#include "platform/existing_directory.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

bool is_directory_following_links(const std::string& path) {
  // Opening follows links to the object itself, where reading attributes by
  // name would describe the link. Backup semantics let a directory open; no
  // access rights are needed to ask what it is.
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
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace velmo
