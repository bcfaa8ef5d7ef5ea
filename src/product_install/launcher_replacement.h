#ifndef VELMO_PRODUCT_INSTALL_LAUNCHER_REPLACEMENT_H_
#define VELMO_PRODUCT_INSTALL_LAUNCHER_REPLACEMENT_H_

#include <string>

#include "platform/file.h"
#include "platform/result.h"
#include "product_files/launcher_layout.h"

namespace velmo {

// Makes the launcher a copy of the open file `source`, read from its first
// byte. A launcher that already is one (a plain file that only
// administrators can change, with the same SHA-256) is left alone. Otherwise the source is
// copied to the part file, flushed, and hashed again; a copy that differs
// is deleted and nothing else changes. The old launcher is moved to the
// backup name, the part file takes its place, and the backup is deleted;
// if the part file cannot move in, the old launcher is moved back.
Status refresh_launcher(File& source, const LauncherLayout& layout);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_LAUNCHER_REPLACEMENT_H_
