#ifndef VELMO_TOOLS_VELMO_PACK_BUNDLE_PACKER_H_
#define VELMO_TOOLS_VELMO_PACK_BUNDLE_PACKER_H_

#include <string>

#include "platform/result.h"
#include "velmo-pack/bundle_inspection.h"

namespace velmo::pack {

struct BundleRequest {
  std::string installer;
  std::string main_program;
  std::string startup_helper;
  std::string version;
  std::string output;
  bool replace = false;  // --force
};

struct PackedBundle {
  std::string sha256;  // of the whole output, upper case
  InspectedBundle layout;
};

// Checks every input, writes the bundled installer under a temporary name,
// reads it back with the assistant's reader (target version included) and
// only then gives it the output's name.
Result<PackedBundle> pack_bundle(const BundleRequest& request);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_BUNDLE_PACKER_H_
