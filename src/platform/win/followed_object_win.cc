#include <windows.h>

#include <optional>

#include "platform/followed_object.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

struct FollowedObject {
  DWORD attributes = 0;
  DWORD type = FILE_TYPE_UNKNOWN;
};

// Opening (rather than reading attributes by name) follows links to the
// object itself. No access rights are needed to ask what it is; backup
// semantics let directories open too, so they can be told apart.
std::optional<FollowedObject> open_followed(const std::string& path) {
  UniqueHandle object(::CreateFileW(to_wide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!object) {
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(object.get(), &info)) {
    return std::nullopt;
  }
  return FollowedObject{info.dwFileAttributes, ::GetFileType(object.get())};
}

}  // namespace

bool is_directory_following_links(const std::string& path) {
  const std::optional<FollowedObject> object = open_followed(path);
  return object && (object->attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_regular_file_following_links(const std::string& path) {
  const std::optional<FollowedObject> object = open_followed(path);
  // Devices and pipes opened by name are not disk files.
  return object && (object->attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         object->type == FILE_TYPE_DISK;
}

}  // namespace velmo
