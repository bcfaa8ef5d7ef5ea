#include <windows.h>

#include <psapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/process.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

// A name of the file as the system gives it for the running image: its own
// form ("\Device\HarddiskVolume3\..."), or where a system gives the DOS
// form behind "\??\" (Wine), that one.
using ImageName = std::wstring;

constexpr std::wstring_view kDosPrefix = L"\\??\\";
constexpr std::wstring_view kWin32Prefix = L"\\\\?\\";

OsResult<ImageName> mapped_image_name() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = ::K32GetMappedFileNameW(::GetCurrentProcess(), ::GetModuleHandleW(nullptr),
                                               buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0) {
    return std::unexpected(last_os_error());
  }
  return ImageName(buffer.data(), length);
}

// The opened file's name in the same form as `mapped`.
OsResult<ImageName> opened_file_name(HANDLE file, const ImageName& mapped) {
  const bool dos = mapped.starts_with(kDosPrefix);
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      ::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  FILE_NAME_NORMALIZED | (dos ? VOLUME_NAME_DOS : VOLUME_NAME_NT));
  if (length == 0 || length >= buffer.size()) {
    return std::unexpected(last_os_error());
  }
  ImageName name(buffer.data(), length);
  if (dos && name.starts_with(kWin32Prefix)) {
    name = std::wstring(kDosPrefix) + name.substr(kWin32Prefix.size());
  }
  return name;
}

bool same_name(const ImageName& a, const ImageName& b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

// The image section keeps the running file from being written or deleted,
// but not from being renamed: somebody who may change the folder could move
// it away and put another file under its name before we open that name.
// The mapped image's name is the file's current name, and our handle lets
// nobody rename its file any more, so when both names agree after the open,
// the opened file is the image (or another name of the same file).
OsResult<File> File::open_running_image() {
  const std::optional<std::string> path = current_program_path();
  if (!path) {
    return std::unexpected(last_os_error());
  }
  OsResult<File> file = open_for_read_locked(*path);
  if (!file) {
    return file;
  }
  const OsResult<ImageName> mapped = mapped_image_name();
  if (!mapped) {
    return std::unexpected(mapped.error());
  }
  const OsResult<ImageName> opened =
      opened_file_name(reinterpret_cast<HANDLE>(file->native_), *mapped);
  if (!opened) {
    return std::unexpected(opened.error());
  }
  if (!same_name(*opened, *mapped)) {
    return std::unexpected(os_error_from_code(ERROR_FILE_INVALID));
  }
  return file;
}

OsResult<File> File::duplicate() const {
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), reinterpret_cast<HANDLE>(native_),
                         ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return std::unexpected(last_os_error());
  }
  return File(reinterpret_cast<intptr_t>(copy));
}

}  // namespace velmo
