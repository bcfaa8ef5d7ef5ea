#ifndef VELMO_PRODUCT_INSTALL_DESKTOP_FOLDER_H_
#define VELMO_PRODUCT_INSTALL_DESKTOP_FOLDER_H_

#include <string>
#include <string_view>

#include "platform/known_folder.h"
#include "platform/result.h"
#include "product_install/launcher_platform.h"

namespace velmo {

inline constexpr char kUserDesktopLabel[] = "当前用户桌面";
inline constexpr char kPublicDesktopLabel[] = "公共桌面";

// The shell folder `folder`, which must be an existing directory (links
// followed: a redirected desktop is still the desktop). Fails with
// "没有找到{label}目录，错误码 0x{hr}。" when the shell cannot name it and
// "{label}目录不可用。" when nothing usable is there.
Result<std::string> known_desktop_folder(KnownFolder folder,
                                         std::string_view label,
                                         const LauncherPlatform& platform);

// The current user's desktop, else the public one; when neither is usable,
// "没有找到可用的桌面目录：{first message}；{second message}".
Result<std::string> find_desktop_folder(const LauncherPlatform& platform);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_DESKTOP_FOLDER_H_
