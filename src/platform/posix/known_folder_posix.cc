#include "platform/file_system.h"
#include "platform/known_folder.h"

namespace velmo {

namespace {

// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND): what the shell says for a folder
// the profile does not have.
constexpr uint32_t kFolderNotFound = 0x80070002;

}  // namespace

KnownFolderPath known_folder_path(KnownFolder folder) {
  if (folder == KnownFolder::kPublicDesktop) {
    return std::unexpected(kFolderNotFound);
  }
  const std::optional<std::string> home = environment_variable("HOME");
  if (!home || home->empty()) {
    return std::unexpected(kFolderNotFound);
  }
  return path_join(*home, "Desktop");
}

}  // namespace velmo
