#ifndef VELMO_ENVIRONMENT_WEBVIEW2_DETECTION_H_
#define VELMO_ENVIRONMENT_WEBVIEW2_DETECTION_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmo {

// The runtime's Edge Update client key, machine-wide (under HKLM, in the
// 32-bit view) and per user (under HKCU); its value "pv" is the version.
inline constexpr char kWebView2MachineKey[] =
    "SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\"
    "{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
inline constexpr char kWebView2UserKey[] =
    "SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

// The version in the output of "reg.exe query KEY /v pv": the first token
// made only of digits and dots with at least one dot. "0.0.0.0" is what an
// uninstall leaves behind and means nothing is installed.
std::optional<std::string> parse_reg_query_version(std::string_view output);

// Runs "reg.exe query {root}\{key} /v pv" hidden and reads the version;
// nothing when reg.exe cannot run, fails, or prints no version.
std::optional<std::string> query_webview2_version(const std::string& root, const std::string& key);

using WebView2VersionQuery =
    std::function<std::optional<std::string>(const std::string& root, const std::string& key)>;

// Whether a WebView2 runtime is installed, machine-wide or for this user:
// a registered version whose folder holds msedgewebview2.exe and msedge.dll.
// Both registrations are read before any file is looked at.
bool is_webview2_present(const WebView2VersionQuery& query = query_webview2_version);

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_WEBVIEW2_DETECTION_H_
