#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "platform/file.h"
#include "platform/mutation_seam.h"
#include "platform/object_security.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

OsResult<ObjectSecurity> read_native_object_security(const std::string& path);

namespace {

// Opens the object itself: a reparse point is opened, never followed, and
// directories open as well as files.
UniqueHandle open_object(const std::string& path, DWORD access) {
  return UniqueHandle(::CreateFileW(
      to_wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::string sid_text(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) {
    return "";
  }
  UniqueLocalMem owned(text);
  return from_wide(text);
}

// Reads one entry. Kinds other than the plain allow and deny entries (the
// callback and object kinds) are read as granting everything to a principal
// nobody trusts, so they can only make an object look less safe.
AccessRule read_rule(const ACE_HEADER* header) {
  const bool inherit_only = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
  if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
    const auto* entry = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    return AccessRule{.sid = sid_text(const_cast<DWORD*>(&entry->SidStart)),
                      .allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                      .mask = entry->Mask,
                      .inherit_only = inherit_only};
  }
  return AccessRule{.sid = "?", .allow = true, .mask = 0xFFFFFFFF, .inherit_only = inherit_only};
}

std::vector<AccessRule> read_rules(PACL dacl) {
  std::vector<AccessRule> rules;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (::GetAce(dacl, i, &entry)) {
      rules.push_back(read_rule(static_cast<const ACE_HEADER*>(entry)));
    }
  }
  return rules;
}

// A protected descriptor in the system's binary form.
OsResult<UniqueLocalMem> protected_descriptor(const std::string& sddl = kProtectedDirectorySddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          to_wide(sddl).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return std::unexpected(last_os_error());
  }
  return UniqueLocalMem(descriptor);
}

// One piece of the process token's information (TokenOwner, TokenUser).
OsResult<std::vector<BYTE>> token_information(TOKEN_INFORMATION_CLASS kind) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
    return std::unexpected(last_os_error());
  }
  UniqueHandle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), kind, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token.get(), kind, buffer.data(), size, &size)) {
    return std::unexpected(last_os_error());
  }
  return buffer;
}

bool is_wine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Whether the opened object is what a repair of this kind may touch: never
// a reparse point, a directory only as a directory, and a file with one
// name only (a second name may lie in a folder others control).
OsStatus check_kind(HANDLE object, bool directory) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(object, &information)) {
    return std::unexpected(last_os_error());
  }
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return std::unexpected(os_error_from_code(ERROR_CANT_ACCESS_FILE));
  }
  const bool is_directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (is_directory != directory) {
    return std::unexpected(os_error_from_code(directory ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED));
  }
  if (!directory && information.nNumberOfLinks > 1) {
    return std::unexpected(os_error_from_code(ERROR_TOO_MANY_LINKS));
  }
  return {};
}

// Owner Administrators and the protected list, set through a handle of the
// object itself. The low-level call does not walk into children by name,
// as SetSecurityInfo would: each child is repaired on its own.
OsStatus protect_object(const std::string& path, bool directory) {
  if (auto fault = mutation_fault(Mutation::kSetSecurity, path)) {
    return std::unexpected(*fault);
  }
  UniqueHandle object = open_object(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER);
  if (!object) {
    return std::unexpected(last_os_error());
  }
  if (OsStatus kind = check_kind(object.get(), directory); !kind) {
    return kind;
  }
  // "P" marks the list protected in the descriptor itself, which is what
  // the low-level call stores.
  OsResult<UniqueLocalMem> descriptor = protected_descriptor(
      std::string("O:BA") + (directory ? kProtectedDirectorySddl : kProtectedFileSddl));
  if (!descriptor) {
    return std::unexpected(descriptor.error());
  }
  if (!::SetKernelObjectSecurity(object.get(),
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 descriptor->get())) {
    return std::unexpected(last_os_error());
  }
  return {};
}

}  // namespace

namespace {

OsResult<ObjectSecurity> read_handle_security(HANDLE object) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  const DWORD status = ::GetSecurityInfo(object, SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &raw);
  if (status != ERROR_SUCCESS) {
    return std::unexpected(os_error_from_code(status));
  }
  UniqueLocalMem descriptor(raw);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(raw, &control, &revision);
  ObjectSecurity security{.owner_sid = sid_text(owner),
                          .protected_dacl = (control & SE_DACL_PROTECTED) != 0,
                          .null_dacl = dacl == nullptr};
  if (dacl != nullptr) {
    security.rules = read_rules(dacl);
  }
  return security;
}

}  // namespace

OsResult<ObjectSecurity> read_native_object_security(const std::string& path) {
  UniqueHandle object = open_object(path, READ_CONTROL);
  if (!object) {
    return std::unexpected(last_os_error());
  }
  return read_handle_security(object.get());
}

OsResult<ObjectSecurity> File::security() const {
  return read_handle_security(reinterpret_cast<HANDLE>(native_));
}

AdminEquivalentSids admin_equivalent_sids() {
  // Wine owns every object by its one user, whatever owner was asked for.
  // ntdll is a KnownDLL, so nobody can make a Windows process look like
  // Wine's.
  if (!is_wine()) {
    return {};
  }
  AdminEquivalentSids sids;
  if (OsResult<std::vector<BYTE>> user = token_information(TokenUser)) {
    sids.push_back(sid_text(reinterpret_cast<TOKEN_USER*>(user->data())->User.Sid));
  }
  std::erase(sids, std::string());
  return sids;
}

OsStatus create_protected_directory(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateDirectory, path)) {
    return std::unexpected(*fault);
  }
  OsResult<UniqueLocalMem> descriptor = protected_descriptor();
  if (!descriptor) {
    return std::unexpected(descriptor.error());
  }
  SECURITY_ATTRIBUTES attributes{.nLength = sizeof(SECURITY_ATTRIBUTES),
                                 .lpSecurityDescriptor = descriptor->get(),
                                 .bInheritHandle = FALSE};
  if (!::CreateDirectoryW(to_wide(path).c_str(), &attributes)) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus apply_protected_security(const std::string& path) {
  return protect_object(path, /*directory=*/true);
}

OsStatus apply_protected_file_security(const std::string& path) {
  return protect_object(path, /*directory=*/false);
}

}  // namespace velmo
