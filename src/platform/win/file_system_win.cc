#include <windows.h>

#include <winternl.h>

#include <cstddef>
#include <vector>

#include "platform/file_system.h"
#include "platform/mutation_seam.h"
#include "platform/win/handles.h"
#include "platform/win/reparse_tag_seam.h"
#include "platform/win/wide.h"
#include "platform/windows_path.h"

namespace velmo {

OsResult<uint64_t> file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(to_wide(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::unexpected(last_os_error());
  }
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool path_exists(const std::string& path) {
  return ::GetFileAttributesW(to_wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

OsStatus remove_file(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kRemoveFile, path)) {
    return std::unexpected(*fault);
  }
  if (!::DeleteFileW(to_wide(path).c_str())) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus rename_path(const std::string& from, const std::string& to) {
  if (auto fault = mutation_fault(Mutation::kRename, from)) {
    return std::unexpected(*fault);
  }
  if (!::MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(), 0)) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus create_directories(const std::string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      return {};
    }
    return std::unexpected(os_error_from_code(ERROR_DIRECTORY));
  }
  if (auto parent = parent_path(path); parent && *parent != path) {
    if (auto made = create_directories(*parent); !made) {
      return made;
    }
  }
  if (auto fault = mutation_fault(Mutation::kCreateDirectory, path)) {
    return std::unexpected(*fault);
  }
  if (!::CreateDirectoryW(wide.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return std::unexpected(last_os_error());
  }
  return {};
}

namespace {

// The system answers in the "\\?\" long form; people, messages and the
// Restart Manager know the ordinary form ("\\?\UNC\srv\x" is "\\srv\x").
std::string without_long_path_prefix(std::string path) {
  constexpr std::string_view kUnc = "\\\\?\\UNC\\";
  constexpr std::string_view kLong = "\\\\?\\";
  if (path.starts_with(kUnc)) {
    return "\\\\" + path.substr(kUnc.size());
  }
  if (path.starts_with(kLong)) {
    return path.substr(kLong.size());
  }
  return path;
}

}  // namespace

OsResult<std::string> final_path_name(const std::string& path) {
  // No access rights are needed to ask for the name; backup semantics let
  // the call open directories as well as files.
  UniqueHandle object(::CreateFileW(to_wide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!object) {
    return std::unexpected(last_os_error());
  }
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetFinalPathNameByHandleW(object.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      return std::unexpected(last_os_error());
    }
    if (length < buffer.size()) {
      return without_long_path_prefix(from_wide(std::wstring_view(buffer.data(), length)));
    }
    buffer.resize(length + 1);
  }
}

OsStatus copy_file(const std::string& from, const std::string& to) {
  if (auto fault = mutation_fault(Mutation::kCopyFile, to)) {
    return std::unexpected(*fault);
  }
  if (!::CopyFileW(to_wide(from).c_str(), to_wide(to).c_str(), FALSE)) {
    return std::unexpected(last_os_error());
  }
  return {};
}

namespace {

// Every handle of the tree deletes itself; directory handles also list, and
// attributes are read to recognise reparse points and written to clear
// read-only, which would refuse the deletion.
constexpr ACCESS_MASK kEntryAccess =
    DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kDirectoryAccess = kEntryAccess | FILE_LIST_DIRECTORY;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr NTSTATUS kStatusNotADirectory = static_cast<NTSTATUS>(0xC0000103);

// FileDispositionInfoEx (Windows 10 1607) and its flags: the headers declare
// them only for programs that require 1607, and we run on every Windows 10.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;

OsError nt_error(NTSTATUS status) {
  return os_error_from_code(::RtlNtStatusToDosError(status));
}

struct OpenedChild {
  NTSTATUS status = 0;
  UniqueHandle handle;
};

// Opens `name` relative to the held directory, so no part of a path is looked
// up again. FILE_OPEN_REPARSE_POINT opens a link or junction itself instead
// of what it points at.
OpenedChild open_child(HANDLE parent, const std::wstring& name, bool as_directory) {
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  UNICODE_STRING object_name{bytes, bytes, const_cast<wchar_t*>(name.c_str())};
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, parent, nullptr);
  const ULONG options = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
                        FILE_SYNCHRONOUS_IO_NONALERT |
                        (as_directory ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      ::NtCreateFile(&handle, as_directory ? kDirectoryAccess : kEntryAccess, &attributes, &io,
                     nullptr, 0, kShareAll, FILE_OPEN, options, nullptr, 0);
  return {status, UniqueHandle(NT_SUCCESS(status) ? handle : nullptr)};
}

// Directories are asked for listing rights, which files may not grant to a
// deleting caller; whatever the name holds when it is opened decides.
OsResult<UniqueHandle> open_entry(HANDLE parent, const std::wstring& name) {
  OpenedChild child = open_child(parent, name, /*as_directory=*/true);
  if (child.status == kStatusNotADirectory) {
    child = open_child(parent, name, /*as_directory=*/false);
  }
  if (!NT_SUCCESS(child.status)) {
    return std::unexpected(nt_error(child.status));
  }
  return std::move(child.handle);
}

// The names are read before anything is deleted, so the listing never runs
// over entries that change under it.
OsResult<std::vector<std::wstring>> entry_names(HANDLE directory) {
  // 8-byte aligned, as the directory records require.
  std::vector<uint64_t> buffer(64 * 1024 / sizeof(uint64_t));
  const auto buffer_bytes = static_cast<DWORD>(buffer.size() * sizeof(uint64_t));
  std::vector<std::wstring> names;
  FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!::GetFileInformationByHandleEx(directory, request, buffer.data(), buffer_bytes)) {
      if (::GetLastError() == ERROR_NO_MORE_FILES) {
        return names;
      }
      return std::unexpected(last_os_error());
    }
    request = FileIdBothDirectoryInfo;
    const auto* record = reinterpret_cast<const std::byte*>(buffer.data());
    for (;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(record);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        names.push_back(std::move(name));
      }
      if (entry->NextEntryOffset == 0) {
        break;
      }
      record += entry->NextEntryOffset;
    }
  }
}

// POSIX semantics take the name away at once, even while another program
// still holds the file; systems before Windows 10 1607 and Wine lack them
// and delete when the last handle closes.
OsStatus delete_through(HANDLE entry, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0) {
      basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    // A failure shows as the deletion's own error below.
    (void)::SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof(basic));
  }
  DWORD posix_flags = kDispositionDelete | kDispositionPosixSemantics;
  if (::SetFileInformationByHandle(entry, kFileDispositionInfoEx, &posix_flags,
                                   sizeof(posix_flags))) {
    return {};
  }
  FILE_DISPOSITION_INFO classic{TRUE};
  if (!::SetFileInformationByHandle(entry, FileDispositionInfo, &classic, sizeof(classic))) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus remove_entries(HANDLE directory, const std::string& directory_path);

// A reparse point (link, junction, or anything Wine or a test says is one) is
// deleted as it stands and never entered: what it points at is not ours.
OsStatus remove_opened(UniqueHandle entry, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(entry.get(), &info)) {
    return std::unexpected(last_os_error());
  }
  const bool is_directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool is_reparse = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                          scripted_reparse_tag(path).has_value();
  if (is_directory && !is_reparse) {
    if (OsStatus emptied = remove_entries(entry.get(), path); !emptied) {
      return emptied;
    }
  }
  const Mutation kind = is_directory ? Mutation::kRemoveDirectory : Mutation::kRemoveFile;
  if (auto fault = mutation_fault(kind, path)) {
    return std::unexpected(*fault);
  }
  return delete_through(entry.get(), info.dwFileAttributes);
}

// Keeps going after a failure so that as much as possible is gone; the
// first failure is the one reported.
OsStatus remove_entries(HANDLE directory, const std::string& directory_path) {
  OsResult<std::vector<std::wstring>> names = entry_names(directory);
  if (!names) {
    return std::unexpected(names.error());
  }
  OsStatus result;
  for (const std::wstring& name : *names) {
    const std::string path = path_join(directory_path, from_wide(name));
    OsResult<UniqueHandle> child = open_entry(directory, name);
    OsStatus removed =
        child ? remove_opened(std::move(*child), path) : OsStatus(std::unexpected(child.error()));
    if (!removed && result) {
      result = removed;
    }
  }
  return result;
}

}  // namespace

OsStatus remove_directory_tree(const std::string& path) {
  UniqueHandle top(
      ::CreateFileW(to_wide(path).c_str(), kDirectoryAccess, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!top) {
    return std::unexpected(last_os_error());
  }
  return remove_opened(std::move(top), path);
}

std::vector<std::string> directory_names(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW((to_wide(path) + L"\\*").c_str(), &data));
  if (!find) {
    return names;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(from_wide(name));
    }
  } while (::FindNextFileW(find.get(), &data));
  return names;
}

bool is_fixed_drive(const std::string& root) {
  return ::GetDriveTypeW(to_wide(root).c_str()) == DRIVE_FIXED;
}

std::optional<std::string> environment_variable(const std::string& name) {
  const std::wstring wide_name = to_wide(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), buffer.data(),
                                                   static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return std::nullopt;
      }
      return std::string();
    }
    if (length < buffer.size()) {
      return from_wide(std::wstring_view(buffer.data(), length));
    }
    buffer.resize(length);
  }
}

}  // namespace velmo
