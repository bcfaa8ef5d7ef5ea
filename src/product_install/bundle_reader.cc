#include "product_install/bundle_reader.h"

#include <algorithm>
#include <array>

#include "network/background_hasher.h"
#include "network/sha256_file.h"
#include "platform/sha256.h"
#include "product_files/install_manifest.h"

namespace velmo {

namespace {

constexpr char kNotAProgram[] = "更新数据包不是有效的 Windows 程序。";
constexpr char kNoMz[] = "更新数据包缺少 Windows 程序标识。";
constexpr char kBadPeSignature[] = "更新数据包 PE 标识无效。";
constexpr char kBadOptionalHeader[] = "更新数据包可选头无效。";
constexpr char kUnsupportedPe[] = "更新数据包 PE 类型不受支持。";
constexpr char kBadSignatureRange[] = "更新数据包签名范围无效。";
constexpr char kNoBundle[] = "安装包不包含固定助手更新清单；请使用完整安装方式升级一次。";
constexpr char kBadHeader[] = "安装包中的固定助手更新清单无效。";
constexpr char kManifestDigest[] = "安装包中的固定助手更新清单校验失败。";
constexpr char kManifestFormat[] = "安装包中的固定助手更新清单格式无效。";
constexpr char kManifestTarget[] = "安装包中的固定助手更新清单与目标版本不一致。";

constexpr uint64_t kMinProgramBytes = 128;
constexpr uint64_t kDosHeaderBytes = 64;
constexpr uint64_t kLfanewOffset = 60;
constexpr size_t kPeHeaderBytes = 24;  // signature and file header
constexpr size_t kOptionalHeaderSizeOffset = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr size_t kDirectoryEntryBytes = 8;

uint16_t le16(const std::vector<std::byte>& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                               (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

uint32_t le32(const std::vector<std::byte>& bytes, size_t at) {
  return static_cast<uint32_t>(le16(bytes, at)) |
         (static_cast<uint32_t>(le16(bytes, at + 2)) << 16);
}

bool all_zero(const std::vector<std::byte>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

std::string payload_message(std::string_view before,
                            std::string_view label,
                            std::string_view after) {
  return std::string(before) + std::string(label) + std::string(after);
}

struct DirectoryLayout {
  size_t count_offset;
  size_t directories_offset;
};

std::optional<DirectoryLayout> layout_for(uint16_t magic) {
  if (magic == kPe32Magic) {
    return DirectoryLayout{92, 96};
  }
  if (magic == kPe32PlusMagic) {
    return DirectoryLayout{108, 112};
  }
  return std::nullopt;
}

// The security directory from the optional header: E, or the message.
Result<uint64_t> search_end_from(const std::vector<std::byte>& optional_header,
                                 uint64_t file_size) {
  const std::optional<DirectoryLayout> layout = layout_for(le16(optional_header, 0));
  if (!layout) {
    return fail(kUnsupportedPe);
  }
  const size_t security =
      layout->directories_offset + kSecurityDirectoryIndex * kDirectoryEntryBytes;
  if (optional_header.size() < security + kDirectoryEntryBytes ||
      le32(optional_header, layout->count_offset) <= kSecurityDirectoryIndex) {
    return file_size;
  }
  const uint64_t offset = le32(optional_header, security);
  const uint64_t size = le32(optional_header, security + 4);
  if (offset == 0 && size == 0) {
    return file_size;
  }
  // Both are 32-bit, so the sum cannot overflow 64 bits.
  if (offset != 0 && size != 0 && offset + size <= file_size) {
    return offset;
  }
  return fail(kBadSignatureRange);
}

// Header, then the manifest it describes: (M, manifest), or the message.
Result<std::pair<uint64_t, BundleManifest>> read_manifest(
    BundleSource& source,
    uint64_t header_offset,
    std::optional<std::string_view> target_version) {
  Result<std::vector<std::byte>> raw = read_exact_at(source, header_offset, kBundleHeaderBytes);
  if (!raw) {
    return fail(raw.error());
  }
  const std::optional<BundleHeader> header = decode_bundle_header(
      std::span<const std::byte, kBundleHeaderBytes>(raw->data(), kBundleHeaderBytes));
  if (!header || header->manifest_bytes < 1 || header->manifest_bytes > kMaxBundleManifestBytes ||
      header->manifest_bytes > header_offset || header->format_version != kBundleFormatVersion ||
      header->reserved != 0) {
    return fail(kBadHeader);
  }
  const uint64_t manifest_offset = header_offset - header->manifest_bytes;
  Result<std::vector<std::byte>> text =
      read_exact_at(source, manifest_offset, static_cast<size_t>(header->manifest_bytes));
  if (!text) {
    return fail(text.error());
  }
  const OsResult<Sha256Digest> digest = sha256_of(*text);
  if (!digest || *digest != header->manifest_sha256) {
    return fail(kManifestDigest);
  }
  std::optional<BundleManifest> manifest = parse_bundle_manifest(
      std::string_view(reinterpret_cast<const char*>(text->data()), text->size()));
  if (!manifest) {
    return fail(kManifestFormat);
  }
  if (manifest->schema_version != kBundleSchemaVersion || manifest->product != kProductName ||
      (target_version && manifest->version != *target_version)) {
    return fail(kManifestTarget);
  }
  return std::pair{manifest_offset, std::move(*manifest)};
}

}  // namespace

Result<std::vector<std::byte>> read_exact_at(BundleSource& source, uint64_t offset, size_t length) {
  if (auto sought = source.seek(offset); !sought) {
    return fail(phrase_with_error("定位更新数据失败", sought.error()));
  }
  std::vector<std::byte> bytes(length);
  size_t filled = 0;
  while (filled < length) {
    const OsResult<size_t> count = source.read(std::span(bytes).subspan(filled));
    if (!count) {
      return fail(phrase_with_error("读取更新数据失败", count.error()));
    }
    if (*count == 0) {
      return fail(phrase_with_error("读取更新数据失败", unexpected_end_of_file()));
    }
    filled += *count;
  }
  return bytes;
}

Result<uint64_t> find_signature_offset(BundleSource& source, uint64_t file_size) {
  if (file_size < kMinProgramBytes) {
    return fail(kNotAProgram);
  }
  Result<std::vector<std::byte>> dos = read_exact_at(source, 0, kDosHeaderBytes);
  if (!dos) {
    return fail(dos.error());
  }
  if ((*dos)[0] != std::byte{'M'} || (*dos)[1] != std::byte{'Z'}) {
    return fail(kNoMz);
  }
  const uint64_t pe_offset = le32(*dos, kLfanewOffset);
  Result<std::vector<std::byte>> pe = read_exact_at(source, pe_offset, kPeHeaderBytes);
  if (!pe) {
    return fail(pe.error());
  }
  const std::array<std::byte, 4> signature = {std::byte{'P'}, std::byte{'E'}, std::byte{0},
                                              std::byte{0}};
  if (!std::equal(signature.begin(), signature.end(), pe->begin())) {
    return fail(kBadPeSignature);
  }
  const uint16_t optional_size = le16(*pe, kOptionalHeaderSizeOffset);
  if (optional_size < 2) {
    return fail(kBadOptionalHeader);
  }
  Result<std::vector<std::byte>> optional_header =
      read_exact_at(source, pe_offset + kPeHeaderBytes, optional_size);
  if (!optional_header) {
    return fail(optional_header.error());
  }
  return search_end_from(*optional_header, file_size);
}

Result<uint64_t> find_bundle_header(BundleSource& source, uint64_t search_end) {
  for (uint64_t pad = 0; pad <= kMaxBundlePadding; ++pad) {
    if (search_end < pad + kBundleHeaderBytes) {
      continue;
    }
    const uint64_t candidate = search_end - pad - kBundleHeaderBytes;
    Result<std::vector<std::byte>> header = read_exact_at(source, candidate, kBundleHeaderBytes);
    if (!header) {
      return fail(header.error());
    }
    if (!has_bundle_magic(
            std::span<const std::byte, kBundleHeaderBytes>(header->data(), kBundleHeaderBytes))) {
      continue;
    }
    if (pad == 0) {
      return candidate;
    }
    Result<std::vector<std::byte>> padding = read_exact_at(source, search_end - pad, pad);
    if (!padding) {
      return fail(padding.error());
    }
    if (all_zero(*padding)) {
      return candidate;
    }
  }
  return fail(kNoBundle);
}

Status check_payload_description(const BundlePayload& payload,
                                 std::string_view label,
                                 uint64_t limit) {
  if (payload.bytes == 0 || !is_sha256_text(payload.sha256)) {
    return fail(payload_message("更新清单中的", label, "信息无效。"));
  }
  if (payload.offset > UINT64_MAX - payload.bytes) {
    return fail(payload_message("更新清单中的", label, "范围溢出。"));
  }
  if (payload.offset + payload.bytes > limit) {
    return fail(payload_message("更新清单中的", label, "超出可信安装包范围。"));
  }
  return ok();
}

Status verify_bundle_payload(BundleSource& source,
                             const BundlePayload& payload,
                             std::string_view label,
                             uint64_t limit) {
  if (Status described = check_payload_description(payload, label, limit); !described) {
    return described;
  }
  if (auto sought = source.seek(payload.offset); !sought) {
    return fail(phrase_with_error("定位更新载荷失败", sought.error()));
  }
  BackgroundHasher hasher;
  std::vector<std::byte> buffer(
      static_cast<size_t>(std::min<uint64_t>(payload.bytes, kPayloadChunkBytes)));
  uint64_t remaining = payload.bytes;
  while (remaining > 0) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(remaining, buffer.size()));
    const OsResult<size_t> count = source.read(std::span(buffer).first(wanted));
    if (!count) {
      return fail(phrase_with_error("读取更新载荷失败", count.error()));
    }
    if (*count == 0) {
      return fail(phrase_with_error("读取更新载荷失败", unexpected_end_of_file()));
    }
    hasher.feed(std::span(buffer).first(*count));
    remaining -= *count;
  }
  const OsResult<Sha256Digest> digest = hasher.finish();
  if (!digest || !digests_equal(digest_to_hex(*digest), payload.sha256)) {
    return fail(payload_message("安装包中的", label, "校验失败。"));
  }
  return ok();
}

Result<VerifiedBundle> read_verified_bundle(BundleSource& source,
                                            uint64_t file_size,
                                            std::optional<std::string_view> target_version,
                                            MainProgramProof main_program) {
  VerifiedBundle bundle;
  Result<uint64_t> search_end = find_signature_offset(source, file_size);
  if (!search_end) {
    return fail(search_end.error());
  }
  bundle.search_end = *search_end;
  Result<uint64_t> header_offset = find_bundle_header(source, bundle.search_end);
  if (!header_offset) {
    return fail(header_offset.error());
  }
  bundle.header_offset = *header_offset;
  auto manifest = read_manifest(source, bundle.header_offset, target_version);
  if (!manifest) {
    return fail(manifest.error());
  }
  bundle.manifest_offset = manifest->first;
  bundle.manifest = std::move(manifest->second);
  const Status main_checked =
      main_program == MainProgramProof::kHashHere
          ? verify_bundle_payload(source, bundle.manifest.main_program, kMainProgramLabel,
                                  bundle.manifest_offset)
          : check_payload_description(bundle.manifest.main_program, kMainProgramLabel,
                                      bundle.manifest_offset);
  if (!main_checked) {
    return fail(main_checked.error());
  }
  if (Status verified = verify_bundle_payload(source, bundle.manifest.startup_helper,
                                              kStartupHelperLabel, bundle.manifest_offset);
      !verified) {
    return fail(verified.error());
  }
  return bundle;
}

}  // namespace velmo
