#include "network/sha256_file.h"

#include <algorithm>

#include "network/background_hasher.h"
#include "platform/ascii.h"
#include "platform/file.h"

namespace velmo {

namespace {

constexpr std::string_view kReadFailed = "读取校验文件失败";

}  // namespace

std::string digest_to_hex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(digest.size() * 2);
  for (const uint8_t byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

bool digests_equal(std::string_view a, std::string_view b) {
  return equal_ignoring_ascii_case(a, b);
}

bool is_sha256_text(std::string_view text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), is_hex_digit);
}

// Reading and hashing overlap: the next piece is read, straight into the
// hasher's memory, while the last one is hashed on a second thread, so a
// large file costs about its hashing time.
Status feed_rest_of_file(File& file, BackgroundHasher& hasher) {
  for (;;) {
    const std::span<std::byte> room = hasher.room();
    auto got = file.read(room.first(std::min(room.size(), kHashReadBytes)));
    if (!got) {
      return fail(phrase_with_error(kReadFailed, got.error()));
    }
    if (*got == 0) {
      return ok();
    }
    hasher.commit(*got);
  }
}

Result<std::string> hash_open_file(File& file) {
  BackgroundHasher hasher;
  if (Status fed = feed_rest_of_file(file, hasher); !fed) {
    return fail(fed.error());
  }
  auto digest = hasher.finish();
  if (!digest) {
    return fail(phrase_with_error(kReadFailed, digest.error()));
  }
  return digest_to_hex(*digest);
}

Result<std::string> sha256_file(const std::string& path) {
  auto file = File::open_for_read(path);
  if (!file) {
    return fail(phrase_with_error(kReadFailed, file.error()));
  }
  return hash_open_file(*file);
}

Result<std::string> hash_file_checked(const std::string& path) {
  auto file = File::open_for_read(path);
  if (!file) {
    return fail(phrase_with_error("打开校验文件失败", file.error()));
  }
  return hash_open_file(*file);
}

}  // namespace velmo
