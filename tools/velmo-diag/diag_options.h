#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_OPTIONS_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_OPTIONS_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"
#include "product_install/startup_launcher.h"

namespace velmo::diag {

// "--name value" pairs after the command; nothing when an option is unknown,
// repeated or lacks its value.
std::optional<std::map<std::string, std::string>> parse_options(
    const std::vector<std::string>& args,
    const std::vector<std::string>& known);

// A decimal number without sign or spaces.
std::optional<uint64_t> parse_u64(const std::string& text);

// velmo-diag is not the assistant, so its own file is no launcher: the
// default source is the assistant built and shipped beside it.
OsResult<std::string> assistant_beside_tool();

// The launcher source an "--assistant PATH" option names, else the assistant
// beside the tool.
LauncherSource launcher_source_option(const std::map<std::string, std::string>& options);

// Whether an "--endpoint" may name a plain-HTTP origin. The policy decides
// what the assistant runs as administrator and only TLS proves where it came
// from, so a release build refuses one, as it refuses a plain-HTTP built-in
// origin; builds for tests opt in to reach their local servers.
enum class HttpEndpoints { kRefused, kAllowed };

// This build's rule, decided at configure time with the built-in origin's.
HttpEndpoints build_http_endpoints();

// The policy origin an "--endpoint ORIGIN" option names, else the built-in
// one; the refusal, as one line, when `http_endpoints` refuses a plain-HTTP
// origin.
Result<std::string> policy_origin_option(const std::map<std::string, std::string>& options,
                                         HttpEndpoints http_endpoints);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_OPTIONS_H_
