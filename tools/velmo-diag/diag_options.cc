#include "velmo-diag/diag_options.h"

#include <algorithm>
#include <charconv>

#include "network/bootstrap_policy.h"
#include "platform/file_system.h"
#include "platform/windows_path.h"

namespace velmo::diag {

namespace {

#ifdef _WIN32
constexpr char kAssistantProgramName[] = "velmo-assistant.exe";
#else
constexpr char kAssistantProgramName[] = "velmo-assistant";
#endif

}  // namespace

std::optional<std::map<std::string, std::string>> parse_options(
    const std::vector<std::string>& args,
    const std::vector<std::string>& known) {
  std::map<std::string, std::string> options;
  for (size_t i = 1; i < args.size(); i += 2) {
    const std::string& name = args[i];
    const bool is_known = std::find(known.begin(), known.end(), name) != known.end();
    if (!is_known || i + 1 >= args.size() || options.contains(name)) {
      return std::nullopt;
    }
    options[name] = args[i + 1];
  }
  return options;
}

std::optional<uint64_t> parse_u64(const std::string& text) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end) {
    return std::nullopt;
  }
  return value;
}

OsResult<std::string> assistant_beside_tool() {
  OsResult<std::string> tool = running_program_file();
  if (!tool) {
    return tool;
  }
  return path_join(parent_path(*tool).value_or(""), kAssistantProgramName);
}

LauncherSource launcher_source_option(const std::map<std::string, std::string>& options) {
  const auto assistant = options.find("--assistant");
  return assistant != options.end() ? launcher_source_at(assistant->second)
                                    : launcher_source_named(assistant_beside_tool);
}

HttpEndpoints build_http_endpoints() {
  return VELMO_DIAG_HTTP_ENDPOINT_ALLOWED ? HttpEndpoints::kAllowed : HttpEndpoints::kRefused;
}

Result<std::string> policy_origin_option(const std::map<std::string, std::string>& options,
                                         HttpEndpoints http_endpoints) {
  const auto endpoint = options.find("--endpoint");
  if (endpoint == options.end()) {
    return built_in_policy_origin();
  }
  const std::string& origin = endpoint->second;
  if (http_endpoints == HttpEndpoints::kRefused && origin.starts_with("http://")) {
    return fail("velmo-diag: this release build refuses the plain-HTTP endpoint " + origin +
                ": use https://, or a build configured with VELMO_ALLOW_HTTP_POLICY_ORIGIN=ON");
  }
  return origin;
}

}  // namespace velmo::diag
