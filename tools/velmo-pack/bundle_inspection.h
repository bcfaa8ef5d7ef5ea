#ifndef VELMO_TOOLS_VELMO_PACK_BUNDLE_INSPECTION_H_
#define VELMO_TOOLS_VELMO_PACK_BUNDLE_INSPECTION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/result.h"
#include "product_install/bundle_reader.h"

namespace velmo::pack {

// A bundled installer as the assistant reads it.
struct InspectedBundle {
  uint64_t file_bytes = 0;
  VerifiedBundle bundle;

  // A certificate table follows the trailer.
  bool is_signed() const { return bundle.search_end < file_bytes; }
  // Zero bytes between the header and the end of the search (E).
  uint64_t padding() const { return bundle.search_end - bundle.header_offset - kBundleHeaderBytes; }
};

// Runs the assistant's own reader over an open file of `file_bytes` bytes, with the same checks the
// assistant makes after a download (including the version when given). A
// refusal is the assistant's message, unchanged, so the release engineer sees
// exactly what a user would.
Result<InspectedBundle> inspect_open_bundle(File& file,
                                            uint64_t file_bytes,
                                            std::optional<std::string_view> target_version);

// The same for a file by name; one that cannot be opened gets an English
// message of ours.
Result<InspectedBundle> inspect_bundle(const std::string& path,
                                       std::optional<std::string_view> target_version);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_BUNDLE_INSPECTION_H_
