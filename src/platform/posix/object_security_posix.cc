#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"
#include "platform/mutation_seam.h"
#include "platform/object_security.h"
#include "platform/posix/unique_fd.h"

namespace velmo {

OsResult<ObjectSecurity> read_native_object_security(const std::string& path);

// The POSIX backend maps ownership and mode bits onto the same model, so the
// logic that trusts, repairs or sets aside folders runs natively on real
// files: root stands for Administrators, other accounts and groups get the
// SIDs Samba gives Unix ones, and "others" is Everyone.
namespace {

constexpr mode_t kProtectedMode = 0755;
constexpr uint32_t kReadRights = kFileReadAndExecute;
// No delete right of its own: on POSIX, removing or renaming an entry is
// decided by its folder alone (the delete-child right there).
constexpr uint32_t kWriteRights = 0x00000002 | 0x00000004 | 0x00000040;

std::string user_sid(uid_t uid) {
  return uid == 0 ? std::string(kAdministratorsSid) : "S-1-22-1-" + std::to_string(uid);
}

std::string group_sid(gid_t gid) {
  return "S-1-22-2-" + std::to_string(gid);
}

// The sticky bit (as on /tmp) lets only an entry's owner delete or rename
// it, whoever else may write the folder.
uint32_t rights(mode_t mode, mode_t read_bit, mode_t write_bit) {
  uint32_t granted =
      ((mode & read_bit) ? kReadRights : 0) | ((mode & write_bit) ? kWriteRights : 0);
  if (S_ISDIR(mode) && (mode & S_ISVTX)) {
    granted &= ~uint32_t{0x00000040};
  }
  return granted;
}

// Our owner (root stands for Administrators) and no writes for anyone else,
// as a repair leaves a folder or file.
OsStatus protect_open_object(int fd, mode_t mode) {
  if (::fchown(fd, ::geteuid(), static_cast<gid_t>(-1)) != 0 || ::fchmod(fd, mode) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

ObjectSecurity security_from_stat(const struct stat& info) {
  ObjectSecurity security{.owner_sid = user_sid(info.st_uid), .protected_dacl = true};
  security.rules.push_back({.sid = security.owner_sid, .mask = kFileAllAccess});
  if (uint32_t mask = rights(info.st_mode, S_IRGRP, S_IWGRP)) {
    security.rules.push_back({.sid = group_sid(info.st_gid), .mask = mask});
  }
  if (uint32_t mask = rights(info.st_mode, S_IROTH, S_IWOTH)) {
    security.rules.push_back({.sid = kEveryoneSid, .mask = mask});
  }
  return security;
}

}  // namespace

OsResult<ObjectSecurity> read_native_object_security(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return security_from_stat(info);
}

OsResult<ObjectSecurity> File::security() const {
  struct stat info {};
  if (::fstat(static_cast<int>(native_), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  return security_from_stat(info);
}

AdminEquivalentSids admin_equivalent_sids() {
  return {user_sid(::geteuid())};
}

OsStatus create_protected_directory(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kCreateDirectory, path)) {
    return std::unexpected(*fault);
  }
  if (::mkdir(path.c_str(), 0700) != 0) {
    return std::unexpected(last_os_error());
  }
  // mkdir's mode passes through the umask; the final mode is set exactly.
  if (::chmod(path.c_str(), kProtectedMode) != 0) {
    return std::unexpected(last_os_error());
  }
  return {};
}

OsStatus apply_protected_security(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kSetSecurity, path)) {
    return std::unexpected(*fault);
  }
  // O_NOFOLLOW: a link in the folder's place fails instead of being followed.
  UniqueFd directory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!directory) {
    return std::unexpected(last_os_error());
  }
  return protect_open_object(directory.get(), kProtectedMode);
}

OsStatus apply_protected_file_security(const std::string& path) {
  if (auto fault = mutation_fault(Mutation::kSetSecurity, path)) {
    return std::unexpected(*fault);
  }
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file) {
    return std::unexpected(last_os_error());
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    return std::unexpected(last_os_error());
  }
  if (!S_ISREG(info.st_mode)) {
    return std::unexpected(os_error_from_code(EISDIR));
  }
  if (info.st_nlink > 1) {
    return std::unexpected(os_error_from_code(EMLINK));
  }
  // A file keeps whether it can be run.
  return protect_open_object(file.get(), (info.st_mode & S_IXUSR) ? 0755 : 0644);
}

}  // namespace velmo
