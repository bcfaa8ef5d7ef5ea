#ifndef VELMO_UI_FOLDER_DIALOG_H_
#define VELMO_UI_FOLDER_DIALOG_H_

#include <windows.h>

#include <optional>
#include <string>

namespace velmo {

// The shell's folder picker, owned by `owner`, for the install directory.
// The chosen folder's path, or nothing when cancelled or when the choice is
// not a file-system path.
std::optional<std::string> show_folder_dialog(HWND owner);

}  // namespace velmo

#endif  // VELMO_UI_FOLDER_DIALOG_H_
