#include "product_install/desktop_folder.h"

#include "platform/followed_object.h"
#include "product_install/hresult_text.h"

namespace velmo {

Result<std::string> known_desktop_folder(KnownFolder folder,
                                         std::string_view label,
                                         const LauncherPlatform& platform) {
  const std::string label_text(label);
  KnownFolderPath path = platform.known_folder_path(folder);
  if (!path) {
    return fail(hresult_failure("没有找到" + label_text + "目录", path.error()));
  }
  if (!is_directory_following_links(*path)) {
    return fail(label_text + "目录不可用。");
  }
  return std::move(*path);
}

Result<std::string> find_desktop_folder(const LauncherPlatform& platform) {
  Result<std::string> user =
      known_desktop_folder(KnownFolder::kDesktop, kUserDesktopLabel, platform);
  if (user) {
    return user;
  }
  Result<std::string> shared =
      known_desktop_folder(KnownFolder::kPublicDesktop, kPublicDesktopLabel, platform);
  if (shared) {
    return shared;
  }
  return fail("没有找到可用的桌面目录：" + user.error() + "；" + shared.error());
}

}  // namespace velmo
