#ifndef VELMO_PRODUCT_INSTALL_INSTALL_DIRECTORY_H_
#define VELMO_PRODUCT_INSTALL_INSTALL_DIRECTORY_H_

#include <string>

#include "platform/result.h"

namespace velmo {

// Makes the install directory ready for the workbench. The launcher in it
// runs elevated from the desktop shortcut, and the default location (the
// root of a second disk) lets every signed-in user change new folders, so:
//   - a missing directory is created (with its parents) with the protected
//     access list: only administrators change it, users read and run;
//   - an existing one must be a plain directory (never a link);
//   - an existing one that others could change gets our owner and the
//     protected list, but only while it holds nothing but an installation's
//     files: the new list reaches everything inside, and a folder the user
//     also keeps other things in is not ours to lock.
Status prepare_install_directory(const std::string& install_dir);

// Whether every name in the directory is one an installation of ours has:
// the main program, its manifest, the runtime folder, the old command
// library, and the backups and leftovers named after them.
bool holds_only_installation_files(const std::string& install_dir);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_INSTALL_DIRECTORY_H_
