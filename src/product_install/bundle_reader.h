#ifndef VELMO_PRODUCT_INSTALL_BUNDLE_READER_H_
#define VELMO_PRODUCT_INSTALL_BUNDLE_READER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "product_install/bundle_format.h"
#include "product_install/bundle_source.h"

namespace velmo {

// Label of each payload in messages.
inline constexpr char kMainProgramLabel[] = "受保护主程序";
inline constexpr char kStartupHelperLabel[] = "固定更新助手";

// Size of each read while hashing or copying a payload.
inline constexpr size_t kPayloadChunkBytes = 1048576;

// Exactly `length` bytes at `offset`: "定位更新数据失败：{e}" when the seek
// fails, "读取更新数据失败：{e}" when a read fails or the data ends early.
Result<std::vector<std::byte>> read_exact_at(BundleSource& source, uint64_t offset, size_t length);

// Where the search for the trailer ends (E): the start of the Authenticode
// certificate table from the PE headers, or the file size when unsigned.
Result<uint64_t> find_signature_offset(BundleSource& source, uint64_t file_size);

// The header offset (H): the magic at E - 64, or at E - pad - 64 followed by
// `pad` zero bytes (pad 1..7), the smallest pad first.
Result<uint64_t> find_bundle_header(BundleSource& source, uint64_t search_end);

// Checks a payload's description alone: a digest text of 64 hexadecimal
// digits, a length above 0, and a range that neither overflows nor reaches
// past `limit`, the manifest's start.
Status check_payload_description(const BundlePayload& payload,
                                 std::string_view label,
                                 uint64_t limit);

// Checks a payload's description, then reads its range and compares the
// SHA-256. `limit` is the manifest's start: payloads lie before it.
Status verify_bundle_payload(BundleSource& source,
                             const BundlePayload& payload,
                             std::string_view label,
                             uint64_t limit);

// A trailer whose manifest and payloads were proven.
struct VerifiedBundle {
  uint64_t search_end = 0;       // E
  uint64_t header_offset = 0;    // H
  uint64_t manifest_offset = 0;  // M
  BundleManifest manifest;
};

// Who proves the main program payload's digest. The install copies that
// payload out of the installer anyway and proves it while copying, which
// spares a whole read of the largest part of the file; then only its
// description is checked here, and the copy must not be used unproven.
enum class MainProgramProof { kHashHere, kWhileCopying };

// Steps from the PE headers to both payloads: finds the trailer, checks the
// header and the manifest's digest, parses the manifest, checks schema,
// product and (when given) the target version, and verifies both payloads
// (the main program's digest as `main_program` says). Every offset and
// length taken from the file is range-checked before use.
Result<VerifiedBundle> read_verified_bundle(
    BundleSource& source,
    uint64_t file_size,
    std::optional<std::string_view> target_version,
    MainProgramProof main_program = MainProgramProof::kHashHere);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_BUNDLE_READER_H_
