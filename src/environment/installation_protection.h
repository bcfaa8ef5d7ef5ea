#ifndef VELMO_ENVIRONMENT_INSTALLATION_PROTECTION_H_
#define VELMO_ENVIRONMENT_INSTALLATION_PROTECTION_H_

#include <string>

namespace velmo {

// Whether the installation at `install_dir` can be trusted to run as
// administrator: the directory and, where they exist, the runtime folder,
// the main program, its manifest and the launcher can be changed by
// administrators only, no file has a second name, and nobody else could
// rename or replace the directory or a folder above it. Only looks: the
// install and update steps make a directory so.
bool is_protected_installation(const std::string& install_dir);

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_INSTALLATION_PROTECTION_H_
