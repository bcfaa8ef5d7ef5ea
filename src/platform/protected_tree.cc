#include "platform/protected_tree.h"

#include <optional>

#include "platform/file_system.h"
#include "platform/hard_link_count.h"
#include "platform/object_security.h"
#include "platform/path_attributes.h"
#include "platform/secure_directory.h"
#include "platform/windows_path.h"

namespace velmo {

namespace {

OsStatus protect_directory(const std::string& directory) {
  if (!has_trusted_security(directory)) {
    if (OsStatus repaired = apply_protected_security(directory); !repaired) {
      return repaired;
    }
  }
  // Listed only once nobody else can change the directory.
  for (const std::string& name : directory_names(directory)) {
    if (OsStatus done = protect_entry(path_join(directory, name)); !done) {
      return done;
    }
  }
  return {};
}

}  // namespace

OsStatus protect_entry(const std::string& path) {
  const OsResult<PathAttributes> attributes = read_path_attributes(path);
  if (!attributes) {
    return std::unexpected(attributes.error());
  }
  if (is_plain_directory(*attributes)) {
    return protect_directory(path);
  }
  // A link is never followed nor trusted; the steps that use each name
  // refuse one in its place with their own words.
  if (!is_plain_file(*attributes)) {
    return {};
  }
  if (is_trusted_file(path)) {
    return {};
  }
  // A second name may lie in a folder another account controls, or be a
  // file of the system's: repairing it would change what that name stands
  // for too. It is left as it is and never trusted; an install moves our
  // name away and writes a file of its own in its place.
  if (const OsResult<uint32_t> links = hard_link_count(path); !links || *links > 1) {
    return {};
  }
  return apply_protected_file_security(path);
}

OsStatus protect_tree(const std::string& directory) {
  const OsResult<PathAttributes> attributes = read_path_attributes(directory);
  if (!attributes) {
    return std::unexpected(attributes.error());
  }
  if (!is_plain_directory(*attributes)) {
    return std::unexpected(access_denied());
  }
  return protect_directory(directory);
}

bool others_can_replace(const std::string& path) {
  const OsResult<ObjectSecurity> object = read_object_security(path);
  if (!object) {
    return true;
  }
  std::optional<ObjectSecurity> parent;
  if (const std::optional<std::string> parent_dir = parent_path(path);
      parent_dir && *parent_dir != path) {
    OsResult<ObjectSecurity> read = read_object_security(*parent_dir);
    if (!read) {
      return true;
    }
    parent = std::move(*read);
  }
  return lets_others_replace(*object, parent ? &*parent : nullptr, admin_equivalent_sids());
}

bool others_can_replace_location(const std::string& path) {
  std::string current = path;
  for (;;) {
    if (others_can_replace(current)) {
      return true;
    }
    const std::optional<std::string> parent = parent_path(current);
    if (!parent || *parent == current) {
      return false;
    }
    current = *parent;
  }
}

}  // namespace velmo
