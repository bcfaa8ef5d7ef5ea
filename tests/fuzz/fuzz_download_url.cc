// Fuzzes the download address rules: parse_download_url must only split
// the address, and validate_installer_url must accept nothing but the
// official installer address of the given version.
//
// Input: the address, a line feed, the latest version.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "network/download_url.h"
#include "platform/utf.h"

namespace velmo::fuzz {
namespace {

constexpr std::string_view kHttps = "https://";
constexpr std::string_view kHttp = "http://";

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Whether `text` is a port designation ("+"? decimal digits) for `port`.
bool designates_port(std::string_view text, uint16_t port) {
  if (text.starts_with('+')) {
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return false;
  }
  uint32_t value = 0;
  for (char c : text) {
    if (!is_digit(c)) {
      return false;
    }
    value = value * 10 + static_cast<uint32_t>(c - '0');
    if (value > port) {
      return false;
    }
  }
  return value == port;
}

// What follows the host: nothing, a path, or ":port" and maybe a path.
void check_after_host(std::string_view after, const ParsedUrl& url) {
  const uint16_t default_port = url.secure ? 443 : 80;
  if (!after.starts_with(':')) {
    require(url.port == default_port, "without a port the scheme's default port is used");
    require(after.empty() ? url.path == "/" : url.path == after,
            "the path is the rest of the address, or / when there is none");
    return;
  }
  const size_t slash = after.find('/');
  const std::string_view port_text = after.substr(1, slash == after.npos ? after.npos : slash - 1);
  require(designates_port(port_text, url.port), "the port is the number after the host's colon");
  require(slash == after.npos ? url.path == "/" : url.path == after.substr(slash),
          "the path is the rest of the address after the port");
}

// Nothing is decoded or normalised: scheme, host, port text and path put
// back together must be the very address that was parsed.
void check_parse_is_a_split(std::string_view address) {
  const Result<ParsedUrl> url = parse_download_url(address);
  require(parse_download_url(address) == url, "parsing is deterministic");
  if (!url) {
    return;
  }
  const std::string_view scheme = url->secure ? kHttps : kHttp;
  require(address.starts_with(scheme), "secure exactly for https://");
  const std::string_view rest = address.substr(scheme.size());
  require(!url->host.empty(), "the host is never empty");
  require(url->host.find('/') == std::string::npos, "the host ends before the first /");
  require(rest.starts_with(url->host), "the host follows the scheme unchanged");
  check_after_host(rest.substr(url->host.size()), *url);
}

// What an accepted address must be, checked with tools of our own where
// the rule is not just a comparison with the expected path.
void check_accepted_address(std::string_view address, std::string_view version) {
  const Result<ParsedUrl> url = parse_download_url(address);
  require(url.has_value(), "an accepted address parses");
  require(url->secure && url->port == 443, "an accepted address is https on port 443");
  require(url->host.find_first_of("@:[]?#%") == std::string::npos,
          "an accepted address has a plain host");
  require(url->path == std::string(kInstallerPathPrefix) + installer_file_name(version),
          "an accepted address has exactly the installer path");
  require(is_valid_utf8(address), "an accepted address is valid UTF-8");
  require(trim_white_space(address) == address,
          "an accepted address has no white space at its ends");
  for (char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    require(byte > 0x20 && byte != 0x7F && c != '\\',
            "an accepted address has no control character, space or backslash");
  }
  require(!validate_installer_url(address, std::string(version) + "0"),
          "an accepted address fits one version only");
}

void check_validation(std::string_view address, std::string_view version) {
  const Status status = validate_installer_url(address, version);
  require(validate_installer_url(address, version) == status, "validation is deterministic");
  if (status) {
    check_accepted_address(address, version);
  } else {
    require(!status.error().empty(), "a refusal carries a message");
  }
}

// Versions made of these characters never need escaping in a path.
bool is_plain_version_text(std::string_view version) {
  for (char c : version) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !is_digit(c) && c != '.' && c != '-') {
      return false;
    }
  }
  return true;
}

// The official address of a plainly written version is always accepted.
void check_official_address(std::string_view version) {
  if (!is_plain_version_text(version)) {
    return;
  }
  const std::string official =
      "https://dl.example.com" + std::string(kInstallerPathPrefix) + installer_file_name(version);
  require(validate_installer_url(official, version).has_value(),
          "the official address of the version is accepted");
}

}  // namespace
}  // namespace velmo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velmo::fuzz;
  const TextPair input = split_at_line_feed(as_text(data, size));
  check_parse_is_a_split(input.first);
  check_validation(input.first, input.second);
  check_official_address(input.second);
  return 0;
}
