// Fuzzes the bundle reader over arbitrary installer bytes: from the PE
// headers to both payloads. Whatever the bytes, it must end in a result or
// a message without reading outside the data, and what it accepts must be
// consistent with the layout it claims to have found.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "network/sha256_file.h"
#include "platform/sha256.h"
#include "product_install/bundle_reader.h"

namespace velmo::fuzz {
namespace {

void check_payload(std::span<const std::byte> data, const BundlePayload& payload, uint64_t limit) {
  require(payload.bytes > 0 && payload.offset + payload.bytes >= payload.offset,
          "an accepted payload is a non-empty range");
  require(payload.offset + payload.bytes <= limit, "an accepted payload lies before the manifest");
  const OsResult<Sha256Digest> digest = sha256_of(data.subspan(payload.offset, payload.bytes));
  require(digest && digests_equal(digest_to_hex(*digest), payload.sha256),
          "an accepted payload has its digest");
}

void check_accepted(std::span<const std::byte> data, const VerifiedBundle& bundle) {
  require(bundle.search_end <= data.size(), "E lies within the file");
  require(bundle.header_offset + kBundleHeaderBytes <= bundle.search_end, "the header ends by E");
  require(bundle.search_end - bundle.header_offset - kBundleHeaderBytes <= kMaxBundlePadding,
          "at most 7 padding bytes");
  for (uint64_t i = bundle.header_offset + kBundleHeaderBytes; i < bundle.search_end; ++i) {
    require(data[i] == std::byte{0}, "padding is zero");
  }
  const uint64_t length = bundle.header_offset - bundle.manifest_offset;
  require(length >= 1 && length <= kMaxBundleManifestBytes, "the manifest length is in range");
  require(bundle.manifest.schema_version == kBundleSchemaVersion, "schema 1 only");
  check_payload(data, bundle.manifest.main_program, bundle.manifest_offset);
  check_payload(data, bundle.manifest.startup_helper, bundle.manifest_offset);
}

}  // namespace
}  // namespace velmo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
  velmo::MemoryBundleSource source(bytes);
  const velmo::Result<velmo::VerifiedBundle> bundle =
      velmo::read_verified_bundle(source, size, std::nullopt);
  if (bundle) {
    velmo::fuzz::check_accepted(bytes, *bundle);
  } else {
    velmo::fuzz::require(!bundle.error().empty(), "a refusal carries a message");
  }
  return 0;
}
