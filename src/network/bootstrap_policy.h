#ifndef VELMO_NETWORK_BOOTSTRAP_POLICY_H_
#define VELMO_NETWORK_BOOTSTRAP_POLICY_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "network/release_store.h"
#include "platform/http.h"
#include "platform/result.h"

namespace velmo {

// The fixed request: the query always announces the assistant as version
// 0.0.0 for Windows x86_64.
inline constexpr char kPolicyPathAndQuery[] =
    "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64";

// Largest policy body the assistant holds in memory, and its read size.
inline constexpr size_t kPolicyBodyLimit = 262144;
inline constexpr size_t kPolicyReadChunk = 65536;

// scheme://host[:port] of the policy endpoint this build was made for.
std::string built_in_policy_origin();

// Asks the built-in endpoint which workbench release is current, validates
// the answer rule by rule and returns what survives.
Result<VerifiedRelease> fetch_bootstrap_policy();

// The same against another origin (scheme://host[:port], no path); the fixed
// path and query are appended.
Result<VerifiedRelease> fetch_bootstrap_policy_from(std::string_view origin,
                                                    const HttpOpener& open = open_http);

// The installer's size from a HEAD request's Content-Length.
Result<uint64_t> probe_installer_size(std::string_view url, const HttpOpener& open = open_http);

}  // namespace velmo

#endif  // VELMO_NETWORK_BOOTSTRAP_POLICY_H_
