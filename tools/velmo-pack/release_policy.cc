#include "velmo-pack/release_policy.h"

#include <algorithm>
#include <compare>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "network/download_url.h"
#include "network/policy_document.h"
#include "network/sha256_file.h"
#include "network/version.h"
#include "velmo-pack/bundle_inputs.h"
#include "velmo-pack/bundle_inspection.h"
#include "velmo-pack/pack_args.h"

namespace velmo::pack {

namespace {

constexpr std::string_view kHttpsScheme = "https://";

// The assistant refuses larger installers (the policy's size is 32-bit).
constexpr uint64_t kMaxInstallerBytes = 4294967295u;

Status check_versions(const PolicyRequest& request) {
  if (Status version = check_version_arg("--version", request.version); !version) {
    return version;
  }
  if (!request.min_supported) {
    return ok();
  }
  if (Status min = check_version_arg("--min-supported", *request.min_supported); !min) {
    return min;
  }
  const Result<std::strong_ordering> order =
      compare_versions(*request.min_supported, request.version);
  if (!order || *order == std::strong_ordering::greater) {
    return fail("--min-supported " + *request.min_supported + " is newer than --version " +
                request.version);
  }
  return ok();
}

// BASE + "/v1/downloads/" + the installer's fixed name. The base is only the
// origin: the path is the assistant's, never the engineer's choice.
Result<std::string> download_url_for(const std::string& base_url, const std::string& version) {
  std::string_view origin = base_url;
  if (origin.ends_with('/')) {
    origin.remove_suffix(1);
  }
  if (!origin.starts_with(kHttpsScheme) || origin.size() == kHttpsScheme.size() ||
      origin.find('/', kHttpsScheme.size()) != std::string_view::npos) {
    return fail("--base-url must be https://HOST without a path, got '" + base_url + "'");
  }
  std::string url =
      std::string(origin) + std::string(kInstallerPathPrefix) + installer_file_name(version);
  if (Status valid = validate_installer_url(url, version); !valid) {
    return fail("the assistant would refuse the download address '" + url + "': " + valid.error());
  }
  return url;
}

std::string to_lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return text;
}

// The file as it will be served: a bundle of the release, of a size the
// assistant accepts, and its digest.
struct ServedInstaller {
  uint64_t bytes = 0;
  std::string sha256;
};

Result<ServedInstaller> examine_installer(const std::string& path, const std::string& version) {
  Result<InputFile> input = open_input("installer", path);
  if (!input) {
    return fail(input.error());
  }
  const Result<InspectedBundle> inspected = inspect_open_bundle(input->file, input->bytes, version);
  if (!inspected) {
    return fail(describe_input("installer", path) + " does not verify as release " + version +
                ": " + inspected.error());
  }
  if (inspected->file_bytes > kMaxInstallerBytes) {
    return fail(describe_input("installer", path) + " is " + std::to_string(inspected->file_bytes) +
                " bytes; the assistant accepts at most " + std::to_string(kMaxInstallerBytes));
  }
  Result<std::string> digest = sha256_file(path);
  if (!digest) {
    return fail("cannot hash " + describe_input("installer", path) + ": " + digest.error());
  }
  return ServedInstaller{inspected->file_bytes, std::move(*digest)};
}

std::string policy_text(const PolicyRequest& request,
                        const std::string& url,
                        const ServedInstaller& installer) {
  nlohmann::ordered_json json;
  json["currentVersion"] = "0.0.0";
  json["minSupportedVersion"] = request.min_supported.value_or(request.version);
  json["latestVersion"] = request.version;
  json["downloadUrl"] = url;
  json["updateSha256"] = request.lower_case_digest ? to_lower(installer.sha256) : installer.sha256;
  if (request.include_size) {
    json["installerBytes"] = installer.bytes;
  }
  json["target"] = "windows";
  json["arch"] = "x86_64";
  return json.dump();
}

// Without a size in the policy the assistant asks the server; the file at
// hand stands in for the server's answer.
Status check_as_assistant(const std::string& text, uint64_t served_bytes) {
  const Result<BootstrapPolicy> parsed = parse_bootstrap_policy(text);
  if (!parsed) {
    return fail("the assistant cannot read the generated policy: " + parsed.error());
  }
  const InstallerSizeProbe probe = [served_bytes](const std::string&) -> Result<uint64_t> {
    return served_bytes;
  };
  if (Result<VerifiedRelease> release = validate_bootstrap_policy(*parsed, probe); !release) {
    return fail("the assistant refuses the generated policy: " + release.error());
  }
  return ok();
}

}  // namespace

Result<std::string> make_release_policy(const PolicyRequest& request) {
  if (Status versions = check_versions(request); !versions) {
    return fail(versions.error());
  }
  const Result<std::string> url = download_url_for(request.base_url, request.version);
  if (!url) {
    return fail(url.error());
  }
  const Result<ServedInstaller> installer = examine_installer(request.installer, request.version);
  if (!installer) {
    return fail(installer.error());
  }
  std::string text = policy_text(request, *url, *installer);
  if (Status checked = check_as_assistant(text, installer->bytes); !checked) {
    return fail(checked.error());
  }
  return text;
}

}  // namespace velmo::pack
