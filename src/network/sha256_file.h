#ifndef VELMO_NETWORK_SHA256_FILE_H_
#define VELMO_NETWORK_SHA256_FILE_H_

#include <string>
#include <string_view>

#include "network/background_hasher.h"
#include "platform/file.h"
#include "platform/result.h"
#include "platform/sha256.h"

namespace velmo {

// Size of each read while hashing: bounds memory whatever the file size.
inline constexpr size_t kHashReadBytes = 1048576;

// The SHA-256 of a file as 64 upper-case hexadecimal digits, or
// "读取校验文件失败：{error}" when it cannot be opened or read.
Result<std::string> sha256_file(const std::string& path);

// The same digest, telling the two failures apart: "打开校验文件失败：{e}"
// when the file cannot be opened, "读取校验文件失败：{e}" when a read fails.
Result<std::string> hash_file_checked(const std::string& path);

// The digest of an open file from its position to the end, failing like
// sha256_file.
Result<std::string> hash_open_file(File& file);

// Feeds an open file from its position to the end into `hasher`, leaving
// the position at the end; a read failure is "读取校验文件失败：{e}".
Status feed_rest_of_file(File& file, BackgroundHasher& hasher);

// 64 upper-case hexadecimal digits.
std::string digest_to_hex(const Sha256Digest& digest);

// Expected digests come from the network and from people: equal length and
// ASCII case-insensitive equality is the only comparison used.
bool digests_equal(std::string_view a, std::string_view b);

// Exactly 64 hexadecimal digits, either letter case.
bool is_sha256_text(std::string_view text);

}  // namespace velmo

#endif  // VELMO_NETWORK_SHA256_FILE_H_
