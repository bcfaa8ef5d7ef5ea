#ifndef VELMO_NETWORK_POLICY_DOCUMENT_H_
#define VELMO_NETWORK_POLICY_DOCUMENT_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "network/release_store.h"
#include "platform/result.h"

namespace velmo {

// The bootstrap policy as the vendor's service sends it, read but not yet
// checked.
struct BootstrapPolicy {
  std::string current_version;
  std::string min_supported_version;
  std::string latest_version;
  std::string download_url;
  std::string update_sha256;
  // Absent or null when the service leaves the size to a HEAD request.
  std::optional<uint64_t> installer_bytes;
  std::string target;
  std::string arch;

  bool operator==(const BootstrapPolicy&) const = default;
};

// Reads the policy body: one JSON object with the keys currentVersion,
// minSupportedVersion, latestVersion, downloadUrl, updateSha256,
// installerBytes (optional, non-negative integer or null), target and arch
// (the others are strings), or a JSON array of exactly these eight values in
// this order. Other keys are skipped whatever they hold. A key repeated at
// the top level, a byte order mark, invalid UTF-8 and anything but JSON
// whitespace after the document are refused. Every failure gives
// "正式更新策略格式无效，已停止当前操作。".
Result<BootstrapPolicy> parse_bootstrap_policy(std::string_view body);

// Asks the download service for the installer's size (HEAD request).
using InstallerSizeProbe = std::function<Result<uint64_t>(const std::string& url)>;

// Checks the policy rule by rule and returns the release it offers, with the
// digest in upper case. The first broken rule ends the check with its own
// message. `probe_installer_size` is called only when every other rule held
// and the policy carries no size.
Result<VerifiedRelease> validate_bootstrap_policy(const BootstrapPolicy& policy,
                                                  const InstallerSizeProbe& probe_installer_size);

}  // namespace velmo

#endif  // VELMO_NETWORK_POLICY_DOCUMENT_H_
