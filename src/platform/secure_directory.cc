#include "platform/secure_directory.h"

#include "platform/file_system.h"
#include "platform/hard_link_count.h"
#include "platform/object_security.h"
#include "platform/path_attributes.h"
#include "platform/recovery_path.h"

namespace velmo {

namespace {

// Enough for a creation that loses one race against another account
// recreating the name; more rounds would not change the outcome.
constexpr int kAttempts = 3;

// One round: the directory is trusted when this returns success.
OsStatus try_secure_directory(const std::string& path) {
  const OsResult<PathAttributes> attributes = read_path_attributes(path);
  if (!attributes) {
    return create_protected_directory(path);
  }
  if (!is_plain_directory(*attributes)) {
    if (OsStatus moved = set_aside_untrusted(path); !moved) {
      return moved;
    }
    return create_protected_directory(path);
  }
  if (has_trusted_security(path)) {
    return {};
  }
  if (OsStatus repaired = apply_protected_security(path); repaired && has_trusted_security(path)) {
    return {};
  }
  if (OsStatus moved = set_aside_untrusted(path); !moved) {
    return moved;
  }
  return create_protected_directory(path);
}

}  // namespace

OsStatus secure_directory(const std::string& path) {
  OsStatus result;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    result = try_secure_directory(path);
    if (result && is_secure_directory(path)) {
      return {};
    }
  }
  if (result) {
    return std::unexpected(access_denied());
  }
  return result;
}

bool has_trusted_security(const std::string& path) {
  const OsResult<ObjectSecurity> security = read_object_security(path);
  return security && is_trusted_security(*security, admin_equivalent_sids());
}

OsStatus set_aside_untrusted(const std::string& path) {
  return rename_path(path, make_recovery_path(path, "untrusted"));
}

bool is_secure_directory(const std::string& path) {
  return is_plain_directory(path) && has_trusted_security(path);
}

// A second name made by another account keeps the file reachable from a
// folder they control, and lets them keep it after we replace ours.
bool has_one_name(const std::string& path) {
  const OsResult<uint32_t> links = hard_link_count(path);
  return links && *links == 1;
}

bool is_trusted_file(const std::string& path) {
  return is_plain_file(path) && has_one_name(path) && has_trusted_security(path);
}

OsResult<File> open_trusted_file(const std::string& path) {
  OsResult<File> file = File::open_for_check(path);
  if (!file) {
    return file;
  }
  const OsResult<File::Facts> facts = file->facts();
  if (!facts) {
    return std::unexpected(facts.error());
  }
  std::optional<ObjectSecurity> security = scripted_object_security(path);
  if (!security) {
    OsResult<ObjectSecurity> read = file->security();
    if (!read) {
      return std::unexpected(read.error());
    }
    security = std::move(*read);
  }
  if (!facts->plain_file || facts->links != 1 ||
      !is_trusted_security(*security, admin_equivalent_sids())) {
    return std::unexpected(access_denied());
  }
  return file;
}

}  // namespace velmo
