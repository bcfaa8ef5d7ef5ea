#ifndef VELMO_NETWORK_DOWNLOAD_URL_H_
#define VELMO_NETWORK_DOWNLOAD_URL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace velmo {

// An http(s) address split the way a WinHTTP request needs it.
struct ParsedUrl {
  std::string host;
  // Starts with "/"; carries the query and fragment unchanged.
  std::string path;
  uint16_t port = 0;
  bool secure = false;

  bool operator==(const ParsedUrl&) const = default;
};

// Splits "http://" or "https://" (lower case) + authority + optional path.
// The authority ends at the first "/"; a trailing ":port" ("+" allowed,
// decimal, at most 65535) overrides the scheme's default port. A host that
// starts with "[" is an IPv6 literal: it runs through the first "]", and only
// a ":port" may follow it. Nothing else is interpreted: no user-info, no
// percent-decoding, no normalisation.
Result<ParsedUrl> parse_download_url(std::string_view url);

// The folder of every workbench installer on the download service.
inline constexpr std::string_view kInstallerPathPrefix = "/v1/downloads/";

// The installer's file name for `version`, percent-encoded as it appears in
// the address ("工作台" in upper-case escapes).
std::string installer_file_name(std::string_view version);

// Accepts only the official installer address of `latest_version`: clean
// text, https on port 443, a plain host, and exactly the path
// kInstallerPathPrefix + installer_file_name(latest_version).
Status validate_installer_url(std::string_view url, std::string_view latest_version);

}  // namespace velmo

#endif  // VELMO_NETWORK_DOWNLOAD_URL_H_
