// Fuzzes the bootstrap policy: parse_bootstrap_policy on the raw body, then
// validate_bootstrap_policy on whatever it accepted, with a fake size probe.
//
// Input: the body exactly as the service would send it, so the seeds are
// plain policy documents. The body's length picks the probe's answer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "network/download_url.h"
#include "network/policy_document.h"
#include "network/version.h"
#include "platform/utf.h"

namespace velmo::fuzz {
namespace {

constexpr char kFormatMessage[] = "正式更新策略格式无效，已停止当前操作。";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr uint64_t kLargestInstallerBytes = 4294967295u;

// --- Parsing ---------------------------------------------------------------

// The policy written back in object form, members in document order. An
// absent size is left out, which must read the same as null.
std::string object_form(const BootstrapPolicy& policy) {
  nlohmann::ordered_json object = {
      {"currentVersion", policy.current_version},
      {"minSupportedVersion", policy.min_supported_version},
      {"latestVersion", policy.latest_version},
      {"downloadUrl", policy.download_url},
      {"updateSha256", policy.update_sha256},
  };
  if (policy.installer_bytes) {
    object["installerBytes"] = *policy.installer_bytes;
  }
  object["target"] = policy.target;
  object["arch"] = policy.arch;
  return object.dump();
}

// The policy written back in array form; an absent size is null.
std::string array_form(const BootstrapPolicy& policy) {
  nlohmann::json size = nullptr;
  if (policy.installer_bytes) {
    size = *policy.installer_bytes;
  }
  const nlohmann::json array = {
      policy.current_version, policy.min_supported_version,
      policy.latest_version,  policy.download_url,
      policy.update_sha256,   size,
      policy.target,          policy.arch,
  };
  return array.dump();
}

bool strings_are_utf8(const BootstrapPolicy& p) {
  return is_valid_utf8(p.current_version) && is_valid_utf8(p.min_supported_version) &&
         is_valid_utf8(p.latest_version) && is_valid_utf8(p.download_url) &&
         is_valid_utf8(p.update_sha256) && is_valid_utf8(p.target) && is_valid_utf8(p.arch);
}

bool reads_as(std::string_view body, const BootstrapPolicy& expected) {
  const Result<BootstrapPolicy> again = parse_bootstrap_policy(body);
  return again.has_value() && *again == expected;
}

bool is_refused(std::string_view body) {
  return !parse_bootstrap_policy(body).has_value();
}

// A JSON object or array (never empty here) with one more entry at its end.
std::string with_entry(std::string container, std::string_view entry) {
  const char closing = container.back();
  container.pop_back();
  return container + "," + std::string(entry) + closing;
}

// The accepted policy written back must read the same in either form; the
// rules on keys and elements are probed by adding one entry to each.
void check_rewritten_forms(std::string_view body, const BootstrapPolicy& policy) {
  const std::string object = object_form(policy);
  require(reads_as(object, policy), "the object form reads back the same");
  require(reads_as(with_entry(object, "\"unknownKey\":" + std::string(body)), policy),
          "an unknown key is skipped whatever it holds, even a whole policy");
  require(is_refused(with_entry(object, "\"arch\":" + nlohmann::json(policy.arch).dump())),
          "a repeated top-level key is refused");
  const std::string array = array_form(policy);
  require(reads_as(array, policy), "the array form reads back the same");
  require(is_refused(with_entry(array, "null")), "a ninth array element is refused");
}

// An accepted body is one whole JSON document: only JSON white space may
// follow it, and nothing may come before it.
void check_surroundings(std::string_view body, const BootstrapPolicy& policy) {
  require(reads_as(std::string(body) + " \t\r\n", policy), "trailing JSON white space is allowed");
  require(is_refused(std::string(body) + "0"), "text after the document is refused");
  require(is_refused(std::string(kUtf8Bom) + std::string(body)), "a byte order mark is refused");
}

// --- Validation ------------------------------------------------------------

// Stands in for the HEAD request: one fixed answer, and a record of its use.
struct FakeProbe {
  Result<uint64_t> answer;
  int calls = 0;
  std::string asked_url;
};

// A failure, a good size, and the two sizes just outside the valid range.
Result<uint64_t> probe_answer_for(size_t input_size) {
  switch (input_size % 4) {
    case 0:
      return fail("连接超时");
    case 1:
      return uint64_t{73400320};
    case 2:
      return uint64_t{0};
    default:
      return kLargestInstallerBytes + 1;
  }
}

bool is_upper_hex_digest(std::string_view digest) {
  if (digest.size() != 64) {
    return false;
  }
  for (char c : digest) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

std::string upper_case_ascii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

// Every rule except the size, checked through the public functions.
bool every_other_rule_holds(const BootstrapPolicy& policy) {
  const Result<std::strong_ordering> order =
      compare_versions(policy.min_supported_version, policy.latest_version);
  return policy.current_version == "0.0.0" && policy.target == "windows" &&
         policy.arch == "x86_64" && order.has_value() && *order <= 0 &&
         is_upper_hex_digest(upper_case_ascii(policy.update_sha256)) &&
         validate_installer_url(policy.download_url, policy.latest_version).has_value();
}

// The probe is the network: asked at most once, only for a policy without
// a size, only about its address, and only when nothing else is wrong.
void check_probe_use(const BootstrapPolicy& policy, const FakeProbe& probe) {
  require(probe.calls <= 1, "the size is probed at most once");
  if (probe.calls == 0) {
    return;
  }
  require(!policy.installer_bytes.has_value(), "a size in the policy is never probed");
  require(probe.asked_url == policy.download_url, "the probe is asked about the download address");
  require(every_other_rule_holds(policy), "the probe is asked only when every other rule held");
}

uint64_t expected_size(const BootstrapPolicy& policy, const FakeProbe& probe) {
  return policy.installer_bytes ? *policy.installer_bytes : probe.answer.value_or(0);
}

void check_release(const BootstrapPolicy& policy,
                   const FakeProbe& probe,
                   const VerifiedRelease& release) {
  require(every_other_rule_holds(policy), "an accepted policy keeps every rule");
  require(release.latest_version == policy.latest_version, "the release has the latest version");
  require(release.download_url == policy.download_url, "the release has the policy's address");
  require(release.sha256 == upper_case_ascii(policy.update_sha256),
          "the release has the policy's digest in upper case");
  require(policy.installer_bytes.has_value() || probe.calls == 1,
          "a policy without a size is accepted only after a probe");
  require(release.installer_bytes == expected_size(policy, probe),
          "the release has the policy's or the probe's size");
  require(release.installer_bytes >= 1 && release.installer_bytes <= kLargestInstallerBytes,
          "the release size is between 1 byte and 4 GiB - 1");
}

void check_validation(const BootstrapPolicy& policy, size_t input_size) {
  FakeProbe probe{probe_answer_for(input_size)};
  const InstallerSizeProbe callback = [&probe](const std::string& url) {
    ++probe.calls;
    probe.asked_url = url;
    return probe.answer;
  };
  const Result<VerifiedRelease> release = validate_bootstrap_policy(policy, callback);
  check_probe_use(policy, probe);
  if (release) {
    check_release(policy, probe, *release);
  } else {
    require(!release.error().empty(), "a refusal carries a message");
  }
}

}  // namespace
}  // namespace velmo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velmo::fuzz;
  const std::string_view body = as_text(data, size);
  const velmo::Result<velmo::BootstrapPolicy> policy = velmo::parse_bootstrap_policy(body);
  require(velmo::parse_bootstrap_policy(body) == policy, "parsing is deterministic");
  if (!policy) {
    require(policy.error() == kFormatMessage, "every parse failure gives the format message");
    return 0;
  }
  require(strings_are_utf8(*policy), "every accepted field is valid UTF-8");
  check_rewritten_forms(body, *policy);
  check_surroundings(body, *policy);
  check_validation(*policy, size);
  return 0;
}
