#include <algorithm>
#include <atomic>
#include <string_view>

#include "platform/object_security.h"

namespace velmo {

// The backend's own reader, without the test probe.
OsResult<ObjectSecurity> read_native_object_security(const std::string& path);

namespace {

std::atomic<ObjectSecurityProbe> g_probe{nullptr};

bool is_trusted_principal(const std::string& sid, const OwnSids& own) {
  return sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid ||
         std::ranges::find(own, sid) != own.end();
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

bool is_trusted_owner(const std::string& owner_sid, const OwnSids& own) {
  return !owner_sid.empty() && is_trusted_principal(owner_sid, own);
}

bool lets_others_change(const ObjectSecurity& security, const OwnSids& own) {
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
    return !is_trusted_principal(rule.sid, own);
  });
}

bool is_trusted_security(const ObjectSecurity& security, const OwnSids& own) {
  return is_trusted_owner(security.owner_sid, own) && !lets_others_change(security, own);
}

ObjectSecurityProbe set_object_security_probe_for_testing(ObjectSecurityProbe probe) {
  return g_probe.exchange(probe);
}

OsResult<ObjectSecurity> read_object_security(const std::string& path) {
  if (const ObjectSecurityProbe probe = g_probe.load()) {
    if (std::optional<ObjectSecurity> scripted = probe(path)) {
      return *scripted;
    }
  }
  return read_native_object_security(path);
}

}  // namespace velmo
