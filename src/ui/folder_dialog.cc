#include "ui/folder_dialog.h"

#include <shlobj.h>

#include <cwchar>
#include <memory>

#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

constexpr char kDialogTitle[] = "选择VelmoQen工作台安装目录";

// The item list is the shell's allocation: freed on every path.
struct ItemListDeleter {
  void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};

}  // namespace

std::optional<std::string> show_folder_dialog(HWND owner) {
  // The new dialog style hosts shell views, which need COM on this thread.
  const ScopedComApartment apartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring title = to_wide(kDialogTitle);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  const std::unique_ptr<ITEMIDLIST, ItemListDeleter> chosen(::SHBrowseForFolderW(&info));
  if (!chosen) {
    return std::nullopt;
  }
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(chosen.get(), path)) {
    return std::nullopt;
  }
  const std::wstring_view chosen_path(path, ::wcsnlen(path, MAX_PATH));
  if (chosen_path.empty()) {
    return std::nullopt;
  }
  // from_wide writes U+FFFD for an unpaired surrogate.
  return from_wide(chosen_path);
}

}  // namespace velmo
