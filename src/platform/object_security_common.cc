#include <algorithm>
#include <atomic>
#include <string_view>

#include "platform/object_security.h"

namespace velmo {

// The backend's own reader, without the test probe.
OsResult<ObjectSecurity> read_native_object_security(const std::string& path);

namespace {

std::atomic<ObjectSecurityProbe> g_probe{nullptr};

bool is_trusted_principal(const std::string& sid, const AdminEquivalentSids& admins) {
  return sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid ||
         std::ranges::find(admins, sid) != admins.end();
}

// Whether an entry hands any of `rights` on the object itself to somebody
// we do not trust. Entries for children only do not reach the object.
bool grants_others(const ObjectSecurity& security,
                   uint32_t rights,
                   const AdminEquivalentSids& admins) {
  if (security.null_dacl) {
    return true;
  }
  return std::ranges::any_of(security.rules, [&](const AccessRule& rule) {
    return rule.allow && !rule.inherit_only && (rule.mask & rights) != 0 &&
           !is_trusted_principal(rule.sid, admins);
  });
}

}  // namespace

ObjectSecurity protected_directory_security() {
  return ObjectSecurity{
      .owner_sid = "",
      .protected_dacl = true,
      .null_dacl = false,
      .rules = {{.sid = kSystemSid, .allow = true, .mask = kFileAllAccess},
                {.sid = kAdministratorsSid, .allow = true, .mask = kFileAllAccess},
                {.sid = kUsersSid, .allow = true, .mask = kFileReadAndExecute}}};
}

bool is_trusted_owner(const std::string& owner_sid, const AdminEquivalentSids& admins) {
  return !owner_sid.empty() && is_trusted_principal(owner_sid, admins);
}

bool lets_others_change(const ObjectSecurity& security, const AdminEquivalentSids& admins) {
  if (security.null_dacl) {
    return true;
  }
  return std::ranges::any_of(security.rules, [&](const AccessRule& rule) {
    if (!rule.allow || (rule.mask & kChangeRights) == 0) {
      return false;
    }
    if (rule.sid == kCreatorOwnerSid && rule.inherit_only) {
      return false;
    }
    return !is_trusted_principal(rule.sid, admins);
  });
}

bool is_trusted_security(const ObjectSecurity& security, const AdminEquivalentSids& admins) {
  return is_trusted_owner(security.owner_sid, admins) && !lets_others_change(security, admins);
}

bool lets_others_replace(const ObjectSecurity& object,
                         const ObjectSecurity* parent,
                         const AdminEquivalentSids& admins) {
  // An owner may always rewrite the rules, and so grant itself the rest.
  if (!is_trusted_owner(object.owner_sid, admins)) {
    return true;
  }
  if (grants_others(object, kReplaceRights, admins)) {
    return true;
  }
  return parent != nullptr && grants_others(*parent, kDeleteChildRights, admins);
}

ObjectSecurityProbe set_object_security_probe_for_testing(ObjectSecurityProbe probe) {
  return g_probe.exchange(probe);
}

std::optional<ObjectSecurity> scripted_object_security(const std::string& path) {
  const ObjectSecurityProbe probe = g_probe.load();
  return probe != nullptr ? probe(path) : std::nullopt;
}

OsResult<ObjectSecurity> read_object_security(const std::string& path) {
  if (std::optional<ObjectSecurity> scripted = scripted_object_security(path)) {
    return *scripted;
  }
  return read_native_object_security(path);
}

}  // namespace velmo
