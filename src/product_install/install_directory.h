#ifndef VELMO_PRODUCT_INSTALL_INSTALL_DIRECTORY_H_
#define VELMO_PRODUCT_INSTALL_INSTALL_DIRECTORY_H_

#include <string>

#include "platform/result.h"

namespace velmo {

// The refusal of a location that cannot be protected: a folder another
// account may change that also holds things that are not ours, or a folder
// above it that another account could rename or replace.
inline constexpr char kUnprotectableInstallDirMessage[] =
    "其他账户可以更改所选的安装位置，已拒绝安装。请选择一个空文件夹或新建的文件夹作为安装目录。";

// Makes the install directory ready for the workbench. The launcher in it
// runs elevated from the desktop shortcut, and the default location (the
// root of a second disk) lets every signed-in user create folders, so:
//   - a missing directory is created, with every missing folder above it,
//     with the protected access list: only administrators change it, users
//     read and run;
//   - an existing one must be a plain directory (never a link);
//   - one that others could change is refused when it holds anything that
//     is not an installation's: locking it would take rights from the
//     user's own things;
//   - the directory, then every installation entry in it all the way down
//     (the runtime folder, the old command library, backups and leftovers),
//     gets owner Administrators and the protected list; a link or a file
//     with a second name among them is set aside;
//   - the location is refused when another account could rename or
//     replace the directory or a folder above it.
Status prepare_install_directory(const std::string& install_dir);

// Whether every name in the directory is one an installation of ours has:
// the main program, its manifest, the runtime folder, the old command
// library, the older launcher, and the backups and leftovers named after
// them.
bool holds_only_installation_files(const std::string& install_dir);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_INSTALL_DIRECTORY_H_
