#ifndef VELMO_TOOLS_VELMO_PACK_RELEASE_POLICY_H_
#define VELMO_TOOLS_VELMO_PACK_RELEASE_POLICY_H_

#include <optional>
#include <string>

#include "platform/result.h"

namespace velmo::pack {

struct PolicyRequest {
  std::string installer;  // the file exactly as it will be served (signed)
  std::string version;
  std::optional<std::string> min_supported;  // the version when absent
  std::string base_url;                      // https://HOST
  bool include_size = true;                  // false: the assistant asks with HEAD
  bool lower_case_digest = false;
};

// The bootstrap policy offering the installer, as compact JSON without a line
// end. The installer must verify as a bundle of `version` the way the
// assistant checks it after the download, and the text is read back with the
// assistant's own parser and validator, so a policy that would stop every
// user's update is never produced.
Result<std::string> make_release_policy(const PolicyRequest& request);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_RELEASE_POLICY_H_
