#ifndef VELMO_PLATFORM_KNOWN_FOLDER_H_
#define VELMO_PLATFORM_KNOWN_FOLDER_H_

#include <cstdint>
#include <expected>
#include <string>

namespace velmo {

// The shell folders the desktop shortcut may go to.
enum class KnownFolder {
  kDesktop,        // the current user's desktop
  kPublicDesktop,  // the desktop every user of the computer sees
};

// A known folder's path, or the HRESULT (as its 32-bit value) the shell
// failed with. The shell's failure is a COM status, not a Win32 error code,
// so it is kept as the number the user's message shows.
using KnownFolderPath = std::expected<std::string, uint32_t>;

// Asks the shell for the folder, letting it create the folder when the
// profile lacks it (a fresh profile may not have a desktop yet). The POSIX
// stand-in names $HOME/Desktop without creating it and has no public
// desktop.
KnownFolderPath known_folder_path(KnownFolder folder);

}  // namespace velmo

#endif  // VELMO_PLATFORM_KNOWN_FOLDER_H_
