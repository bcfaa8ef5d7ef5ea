#include <windows.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/mutation_seam.h"
#include "platform/win/handles.h"
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

OsStatus remove_directory_tree(const std::string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return std::unexpected(last_os_error());
  }
  // A reparse point (link, junction) is removed itself, never entered.
  const bool is_directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool is_reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (!is_directory) {
    return remove_file(path);
  }
  OsStatus result;
  if (!is_reparse) {
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(::FindFirstFileW((wide + L"\\*").c_str(), &data));
    if (find) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
          continue;
        }
        if (auto removed = remove_directory_tree(path_join(path, from_wide(name)));
            !removed && result) {
          result = removed;
        }
      } while (::FindNextFileW(find.get(), &data));
    }
  }
  if (!result) {
    return result;
  }
  if (auto fault = mutation_fault(Mutation::kRemoveDirectory, path)) {
    return std::unexpected(*fault);
  }
  if (!::RemoveDirectoryW(wide.c_str())) {
    return std::unexpected(last_os_error());
  }
  return {};
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
