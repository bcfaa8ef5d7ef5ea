#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/file.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

HANDLE as_handle(intptr_t native) {
  return reinterpret_cast<HANDLE>(native);
}

}  // namespace

File::~File() {
  close();
}

File::File(File&& other) noexcept : native_(std::exchange(other.native_, kInvalid)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    native_ = std::exchange(other.native_, kInvalid);
  }
  return *this;
}

OsResult<File> File::open_for_read(const std::string& path) {
  const HANDLE handle = ::CreateFileW(to_wide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_os_error());
  }
  return File(reinterpret_cast<intptr_t>(handle));
}

OsResult<size_t> File::read(std::span<std::byte> buffer) {
  // A single ReadFile takes at most 4 GiB; callers read in far smaller pieces.
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(buffer.size(), MAXDWORD));
  DWORD got = 0;
  if (!::ReadFile(as_handle(native_), buffer.data(), wanted, &got, nullptr)) {
    return std::unexpected(last_os_error());
  }
  return static_cast<size_t>(got);
}

bool File::is_open() const {
  return native_ != kInvalid;
}

void File::close() {
  if (native_ != kInvalid) {
    ::CloseHandle(as_handle(std::exchange(native_, kInvalid)));
  }
}

}  // namespace velmo
