#ifndef VELMO_PRODUCT_INSTALL_BUNDLE_FORMAT_H_
#define VELMO_PRODUCT_INSTALL_BUNDLE_FORMAT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmo {

// The trailer a release appends to the workbench installer, in front of
// its Authenticode signature:
//
//   [0, M)      the installer's image; the payloads are ranges inside it
//   [M, H)      the manifest, UTF-8 JSON, L bytes (M = H - L)
//   [H, H+64)   the header below
//   [H+64, E)   0 to 7 zero bytes, so a signature added later is aligned
//   [E, S)      the certificate table, when signed
//
// Integers are little-endian.
inline constexpr std::string_view kBundleMagic = "VELMO-UPD-BNDL1!";
inline constexpr size_t kBundleHeaderBytes = 64;
inline constexpr uint64_t kMaxBundleManifestBytes = 65536;
inline constexpr uint32_t kBundleFormatVersion = 1;
inline constexpr uint64_t kMaxBundlePadding = 7;
inline constexpr uint32_t kBundleSchemaVersion = 1;

using RawSha256 = std::array<uint8_t, 32>;
using BundleHeaderBytes = std::array<std::byte, kBundleHeaderBytes>;

struct BundleHeader {
  uint64_t manifest_bytes = 0;  // L
  RawSha256 manifest_sha256{};  // of the L manifest bytes
  uint32_t format_version = 0;
  uint32_t reserved = 0;

  bool operator==(const BundleHeader&) const = default;
};

// Whether 64 bytes start with the magic.
bool has_bundle_magic(std::span<const std::byte, kBundleHeaderBytes> bytes);

// The header's fields, or nothing without the magic. The fields are not
// checked here.
std::optional<BundleHeader> decode_bundle_header(
    std::span<const std::byte, kBundleHeaderBytes> bytes);

BundleHeaderBytes encode_bundle_header(const BundleHeader& header);

// A byte range of the installer and its expected SHA-256.
struct BundlePayload {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  std::string sha256;

  bool operator==(const BundlePayload&) const = default;
};

struct BundleManifest {
  uint32_t schema_version = 0;
  std::string product;
  std::string version;
  BundlePayload main_program;
  BundlePayload startup_helper;

  bool operator==(const BundleManifest&) const = default;
};

// Reads the manifest JSON: an object with schemaVersion (unsigned 32-bit),
// product, version, mainProgram and startupHelper (objects with offset and
// bytes, unsigned 64-bit, and sha256, a string), other keys ignored, or
// arrays of the same values in this order. Duplicate keys, wrong types and
// text after the document make it invalid. Checks the form only.
std::optional<BundleManifest> parse_bundle_manifest(std::string_view text);

// The manifest as the release packer writes it (compact JSON, keys in the
// order above).
std::string serialize_bundle_manifest(const BundleManifest& manifest);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_BUNDLE_FORMAT_H_
