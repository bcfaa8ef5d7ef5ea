#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/mutation_seam.h"
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

OsResult<File> File::open_for_read_locked(const std::string& path) {
  const HANDLE handle = ::CreateFileW(to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_os_error());
  }
  return File(reinterpret_cast<intptr_t>(handle));
}

OsResult<File> File::open_for_check(const std::string& path) {
  const HANDLE handle =
      ::CreateFileW(to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_os_error());
  }
  return File(reinterpret_cast<intptr_t>(handle));
}

OsResult<File::Facts> File::facts() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(reinterpret_cast<HANDLE>(native_), &info)) {
    return std::unexpected(last_os_error());
  }
  const DWORD not_plain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  return Facts{.plain_file = (info.dwFileAttributes & not_plain) == 0,
               .links = static_cast<uint32_t>(info.nNumberOfLinks)};
}

namespace {

OsResult<HANDLE> open_for_write(const std::string& path, DWORD disposition) {
  const HANDLE handle = ::CreateFileW(to_wide(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_os_error());
  }
  return handle;
}

}  // namespace

OsResult<File> File::create_truncate(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  auto handle = open_for_write(path, CREATE_ALWAYS);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  return File(reinterpret_cast<intptr_t>(*handle));
}

OsResult<File> File::create_new(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  auto handle = open_for_write(path, CREATE_NEW);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  return File(reinterpret_cast<intptr_t>(*handle));
}

OsResult<File> File::open_append(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  auto handle = open_for_write(path, OPEN_EXISTING);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  File file(reinterpret_cast<intptr_t>(*handle));
  if (!::SetFilePointerEx(*handle, LARGE_INTEGER{}, nullptr, FILE_END)) {
    return std::unexpected(last_os_error());
  }
  return file;
}

namespace {

// DELETE access lets the rename go through this handle; sharing only
// reading keeps every other writer, renamer and deleter out.
OsResult<HANDLE> open_held(const std::string& path, DWORD disposition) {
  const HANDLE handle =
      ::CreateFileW(to_wide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_os_error());
  }
  return handle;
}

}  // namespace

OsResult<File> File::create_truncate_held(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  auto handle = open_held(path, CREATE_ALWAYS);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  return File(reinterpret_cast<intptr_t>(*handle));
}

OsResult<File> File::open_existing_held(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateFile, path)) {
    return std::unexpected(*fault);
  }
  auto handle = open_held(path, OPEN_EXISTING);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  return File(reinterpret_cast<intptr_t>(*handle));
}

OsStatus File::rename_held(const std::string& own_path, const std::string& new_path) {
  if (auto fault = mutation_fault(Mutation::kRename, own_path)) {
    return std::unexpected(*fault);
  }
  const std::wstring name = to_wide(new_path);
  // FILE_RENAME_INFO ends in a variable-length name; the buffer holds the
  // structure, the name and its terminator, suitably aligned.
  const size_t name_bytes = name.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* info = new (buffer.data()) FILE_RENAME_INFO{};
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(info->FileName, name.c_str(), name_bytes + sizeof(wchar_t));
  if (!::SetFileInformationByHandle(as_handle(native_), FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size()))) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus File::write_all(std::span<const std::byte> data) {
  if (auto fault = mutation_fault(Mutation::kWrite, "")) {
    return std::unexpected(*fault);
  }
  while (!data.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(data.size(), 0x40000000));
    DWORD written = 0;
    if (!::WriteFile(as_handle(native_), data.data(), wanted, &written, nullptr)) {
      return std::unexpected(last_os_error());
    }
    data = data.subspan(written);
  }
  return {};
}

OsStatus File::flush() {
  if (auto fault = mutation_fault(Mutation::kFlush, "")) {
    return std::unexpected(*fault);
  }
  if (!::FlushFileBuffers(as_handle(native_))) {
    return std::unexpected(last_os_error());
  }
  return {};
}

void File::start_writeback() {}

OsResult<size_t> File::read(std::span<std::byte> buffer) {
  // A single ReadFile takes at most 4 GiB; callers read in far smaller pieces.
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(buffer.size(), MAXDWORD));
  DWORD got = 0;
  if (!::ReadFile(as_handle(native_), buffer.data(), wanted, &got, nullptr)) {
    return std::unexpected(last_os_error());
  }
  return static_cast<size_t>(got);
}

OsStatus File::seek(uint64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (offset > static_cast<uint64_t>(INT64_MAX) ||
      !::SetFilePointerEx(as_handle(native_), position, nullptr, FILE_BEGIN)) {
    return std::unexpected(offset > static_cast<uint64_t>(INT64_MAX)
                               ? os_error_from_code(ERROR_NEGATIVE_SEEK)
                               : last_os_error());
  }
  return {};
}

OsResult<uint64_t> File::size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(as_handle(native_), &size)) {
    return std::unexpected(last_os_error());
  }
  return static_cast<uint64_t>(size.QuadPart);
}

OsStatus File::copy_to(const std::string& to) {
  if (auto fault = mutation_fault(Mutation::kCopyFile, to)) {
    return std::unexpected(*fault);
  }
  auto handle = open_for_write(to, CREATE_ALWAYS);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  File target(reinterpret_cast<intptr_t>(*handle));
  return copy_content_into(target);
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
