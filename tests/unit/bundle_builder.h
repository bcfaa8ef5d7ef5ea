#ifndef VELMO_TESTS_UNIT_BUNDLE_BUILDER_H_
#define VELMO_TESTS_UNIT_BUNDLE_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "network/sha256_file.h"
#include "platform/sha256.h"
#include "product_install/bundle_format.h"

namespace velmo::test {

using Bytes = std::vector<std::byte>;

inline Bytes bytes_of(std::string_view text) {
  Bytes bytes(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[i] = static_cast<std::byte>(text[i]);
  }
  return bytes;
}

inline void put_le(Bytes& bytes, size_t at, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    bytes[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
  }
}

inline std::string sha256_hex(const Bytes& bytes) {
  return digest_to_hex(sha256_of(bytes).value());
}

// A small PE image: DOS header with e_lfanew at 64, "PE\0\0", a file header
// and an optional header (PE32+ unless told otherwise) with 16 data
// directories, then filler up to `image_bytes`.
struct PeShape {
  uint16_t optional_magic = 0x20B;
  uint16_t optional_size = 240;  // PE32+ with 16 directories
  uint32_t directory_count = 16;
  uint32_t security_offset = 0;
  uint32_t security_size = 0;
  size_t image_bytes = 1024;
};

inline Bytes make_pe_image(const PeShape& shape) {
  Bytes image(shape.image_bytes, std::byte{0x90});
  image[0] = std::byte{'M'};
  image[1] = std::byte{'Z'};
  const size_t pe = 64;
  put_le(image, 60, pe, 4);
  image[pe] = std::byte{'P'};
  image[pe + 1] = std::byte{'E'};
  image[pe + 2] = std::byte{0};
  image[pe + 3] = std::byte{0};
  put_le(image, pe + 4, 0x8664, 2);  // machine
  put_le(image, pe + 20, shape.optional_size, 2);
  const size_t optional = pe + 24;
  put_le(image, optional, shape.optional_magic, 2);
  const bool pe32 = shape.optional_magic == 0x10B;
  const size_t count_at = optional + (pe32 ? 92 : 108);
  const size_t directories = optional + (pe32 ? 96 : 112);
  for (size_t i = optional + 2; i < optional + shape.optional_size && i < image.size(); ++i) {
    image[i] = std::byte{0};
  }
  if (count_at + 4 <= optional + shape.optional_size) {
    put_le(image, count_at, shape.directory_count, 4);
  }
  if (directories + 40 <= optional + shape.optional_size) {
    put_le(image, directories + 32, shape.security_offset, 4);
    put_le(image, directories + 36, shape.security_size, 4);
  }
  return image;
}

// Everything about a bundled installer a test may want to get wrong.
struct BundleRecipe {
  PeShape pe;
  Bytes main_program = bytes_of("MZ main program bytes");
  Bytes startup_helper = bytes_of("MZ startup helper");
  std::string version = "1.10.0";
  uint32_t schema_version = 1;
  std::string product = "VelmoQen工作台";
  // Replaces the generated manifest text when set.
  std::optional<std::string> manifest_text;
  // Applied to the generated manifest before it is written.
  std::optional<BundleManifest> manifest_override;
  std::optional<uint64_t> header_length;
  bool corrupt_manifest_digest = false;
  uint32_t format_version = 1;
  uint32_t reserved = 0;
  size_t pad = 0;
  std::byte pad_byte{0};
  // A stand-in certificate table after the padding; the security directory
  // then points at it.
  size_t certificate_bytes = 0;
};

struct BuiltBundle {
  Bytes file;
  BundleManifest manifest;
  uint64_t manifest_offset = 0;
  uint64_t header_offset = 0;
  uint64_t search_end = 0;
};

inline BundleManifest default_manifest(const BundleRecipe& recipe, uint64_t main_offset) {
  BundleManifest manifest;
  manifest.schema_version = recipe.schema_version;
  manifest.product = recipe.product;
  manifest.version = recipe.version;
  manifest.main_program = {main_offset, recipe.main_program.size(),
                           sha256_hex(recipe.main_program)};
  manifest.startup_helper = {main_offset + recipe.main_program.size(), recipe.startup_helper.size(),
                             sha256_hex(recipe.startup_helper)};
  return manifest;
}

inline BuiltBundle build_bundle(const BundleRecipe& recipe) {
  BuiltBundle built;
  Bytes& file = built.file;
  file = make_pe_image(recipe.pe);
  const uint64_t main_offset = file.size();
  file.insert(file.end(), recipe.main_program.begin(), recipe.main_program.end());
  file.insert(file.end(), recipe.startup_helper.begin(), recipe.startup_helper.end());
  built.manifest = recipe.manifest_override.value_or(default_manifest(recipe, main_offset));
  const std::string text = recipe.manifest_text.value_or(serialize_bundle_manifest(built.manifest));
  built.manifest_offset = file.size();
  const Bytes manifest_bytes = bytes_of(text);
  file.insert(file.end(), manifest_bytes.begin(), manifest_bytes.end());
  built.header_offset = file.size();

  BundleHeader header;
  header.manifest_bytes = recipe.header_length.value_or(manifest_bytes.size());
  header.manifest_sha256 = sha256_of(manifest_bytes).value();
  if (recipe.corrupt_manifest_digest) {
    header.manifest_sha256[0] ^= 0xFF;
  }
  header.format_version = recipe.format_version;
  header.reserved = recipe.reserved;
  const BundleHeaderBytes header_bytes = encode_bundle_header(header);
  file.insert(file.end(), header_bytes.begin(), header_bytes.end());
  file.insert(file.end(), recipe.pad, recipe.pad_byte);
  built.search_end = file.size();
  if (recipe.certificate_bytes > 0) {
    file.insert(file.end(), recipe.certificate_bytes, std::byte{0x30});
    const size_t optional = 64 + 24;
    const bool pe32 = recipe.pe.optional_magic == 0x10B;
    const size_t directories = optional + (pe32 ? 96 : 112);
    put_le(file, directories + 32, built.search_end, 4);
    put_le(file, directories + 36, recipe.certificate_bytes, 4);
  }
  return built;
}

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_BUNDLE_BUILDER_H_
