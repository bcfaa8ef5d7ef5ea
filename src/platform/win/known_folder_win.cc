#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/known_folder.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

REFKNOWNFOLDERID folder_id(KnownFolder folder) {
  return folder == KnownFolder::kPublicDesktop ? FOLDERID_PublicDesktop : FOLDERID_Desktop;
}

}  // namespace

KnownFolderPath known_folder_path(KnownFolder folder) {
  PWSTR raw = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(folder_id(folder), KF_FLAG_CREATE, nullptr, &raw);
  // The shell may hand out memory even when it fails; it is ours to free
  // either way.
  const UniqueCoTaskMem path(raw);
  if (FAILED(result)) {
    return std::unexpected(static_cast<uint32_t>(result));
  }
  if (raw == nullptr) {
    return std::unexpected(static_cast<uint32_t>(E_UNEXPECTED));
  }
  return from_wide(raw);
}

}  // namespace velmo
