#ifndef VELMO_PRODUCT_FILES_LAUNCHER_LAYOUT_H_
#define VELMO_PRODUCT_FILES_LAUNCHER_LAYOUT_H_

#include <string>

namespace velmo {

inline constexpr char kRuntimeFolderName[] = "运行组件";
inline constexpr char kLauncherFileName[] = "VelmoQen工作台启动器.exe";
inline constexpr char kLauncherBackupSuffix[] = ".velmo-launcher-backup";
inline constexpr char kLauncherPartSuffix[] = ".part";
inline constexpr char kStaleLauncherBackupTag[] = "stale-startup-helper";

// Where the startup launcher and its working files live in an install
// directory D.
struct LauncherLayout {
  std::string runtime_folder;  // D\运行组件, hidden
  std::string launcher;        // D\运行组件\VelmoQen工作台启动器.exe
  std::string backup;          // the old launcher while the new one moves in
  std::string part;            // the new launcher until it is verified
  std::string older_launcher;  // D\VelmoQen工作台启动器.exe of earlier releases
};

LauncherLayout launcher_layout(const std::string& install_dir);

}  // namespace velmo

#endif  // VELMO_PRODUCT_FILES_LAUNCHER_LAYOUT_H_
