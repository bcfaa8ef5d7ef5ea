#include "product_install/bundle_format.h"

#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "platform/strict_json.h"

namespace velmo {

namespace {

using Json = nlohmann::json;

constexpr size_t kMagicOffset = 0;
constexpr size_t kLengthOffset = 16;
constexpr size_t kDigestOffset = 24;
constexpr size_t kVersionOffset = 56;
constexpr size_t kReservedOffset = 60;

constexpr std::array<std::string_view, 5> kManifestKeys = {
    "schemaVersion", "product", "version", "mainProgram", "startupHelper",
};
constexpr std::array<std::string_view, 3> kPayloadKeys = {"offset", "bytes", "sha256"};

template <typename T>
T read_le(std::span<const std::byte, kBundleHeaderBytes> bytes, size_t at) {
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    value |= static_cast<T>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  }
  return value;
}

template <typename T>
void write_le(BundleHeaderBytes& bytes, size_t at, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) {
    bytes[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
  }
}

std::optional<uint64_t> unsigned_value(const Json& value) {
  // Negative numbers, fractions and integers beyond 64 bits are other
  // number kinds in nlohmann and are refused here.
  if (!value.is_number_unsigned()) {
    return std::nullopt;
  }
  return value.get<uint64_t>();
}

std::optional<std::string> string_value(const Json& value) {
  if (!value.is_string()) {
    return std::nullopt;
  }
  return value.get<std::string>();
}

std::optional<BundlePayload> parse_payload(const Json& value) {
  const auto fields = record_values(value, kPayloadKeys);
  if (!fields) {
    return std::nullopt;
  }
  const std::optional<uint64_t> offset = unsigned_value(*(*fields)[0]);
  const std::optional<uint64_t> bytes = unsigned_value(*(*fields)[1]);
  std::optional<std::string> sha256 = string_value(*(*fields)[2]);
  if (!offset || !bytes || !sha256) {
    return std::nullopt;
  }
  return BundlePayload{*offset, *bytes, std::move(*sha256)};
}

nlohmann::ordered_json payload_json(const BundlePayload& payload) {
  nlohmann::ordered_json json;
  json["offset"] = payload.offset;
  json["bytes"] = payload.bytes;
  json["sha256"] = payload.sha256;
  return json;
}

}  // namespace

bool has_bundle_magic(std::span<const std::byte, kBundleHeaderBytes> bytes) {
  return std::equal(
      kBundleMagic.begin(), kBundleMagic.end(), bytes.begin() + kMagicOffset,
      [](char expected, std::byte actual) { return static_cast<std::byte>(expected) == actual; });
}

std::optional<BundleHeader> decode_bundle_header(
    std::span<const std::byte, kBundleHeaderBytes> bytes) {
  if (!has_bundle_magic(bytes)) {
    return std::nullopt;
  }
  BundleHeader header;
  header.manifest_bytes = read_le<uint64_t>(bytes, kLengthOffset);
  for (size_t i = 0; i < header.manifest_sha256.size(); ++i) {
    header.manifest_sha256[i] = static_cast<uint8_t>(bytes[kDigestOffset + i]);
  }
  header.format_version = read_le<uint32_t>(bytes, kVersionOffset);
  header.reserved = read_le<uint32_t>(bytes, kReservedOffset);
  return header;
}

BundleHeaderBytes encode_bundle_header(const BundleHeader& header) {
  BundleHeaderBytes bytes{};
  for (size_t i = 0; i < kBundleMagic.size(); ++i) {
    bytes[kMagicOffset + i] = static_cast<std::byte>(kBundleMagic[i]);
  }
  write_le(bytes, kLengthOffset, header.manifest_bytes);
  for (size_t i = 0; i < header.manifest_sha256.size(); ++i) {
    bytes[kDigestOffset + i] = static_cast<std::byte>(header.manifest_sha256[i]);
  }
  write_le(bytes, kVersionOffset, header.format_version);
  write_le(bytes, kReservedOffset, header.reserved);
  return bytes;
}

std::optional<BundleManifest> parse_bundle_manifest(std::string_view text) {
  const std::optional<Json> document = parse_strict_json(text);
  if (!document) {
    return std::nullopt;
  }
  const auto fields = record_values(*document, kManifestKeys);
  if (!fields) {
    return std::nullopt;
  }
  const std::optional<uint64_t> schema = unsigned_value(*(*fields)[0]);
  std::optional<std::string> product = string_value(*(*fields)[1]);
  std::optional<std::string> version = string_value(*(*fields)[2]);
  std::optional<BundlePayload> main_program = parse_payload(*(*fields)[3]);
  std::optional<BundlePayload> startup_helper = parse_payload(*(*fields)[4]);
  if (!schema || *schema > std::numeric_limits<uint32_t>::max() || !product || !version ||
      !main_program || !startup_helper) {
    return std::nullopt;
  }
  return BundleManifest{static_cast<uint32_t>(*schema), std::move(*product), std::move(*version),
                        std::move(*main_program), std::move(*startup_helper)};
}

std::string serialize_bundle_manifest(const BundleManifest& manifest) {
  nlohmann::ordered_json json;
  json["schemaVersion"] = manifest.schema_version;
  json["product"] = manifest.product;
  json["version"] = manifest.version;
  json["mainProgram"] = payload_json(manifest.main_program);
  json["startupHelper"] = payload_json(manifest.startup_helper);
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace velmo
