#include "product_install/payload_cache.h"

#include <algorithm>
#include <array>

#include "network/background_hasher.h"
#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/secure_directory.h"
#include "platform/sha256.h"
#include "platform/windows_path.h"
#include "product_install/bundle_reader.h"
#include "product_install/plain_file_checks.h"

namespace velmo {

namespace {

std::string labelled(std::string_view before, std::string_view label, std::string_view after) {
  return std::string(before) + std::string(label) + std::string(after);
}

// Whether an existing cache file already is the payload. A failure to check
// or hash it ends the operation.
Result<bool> cache_matches(const std::string& cache_path,
                           const BundlePayload& payload,
                           std::string_view label) {
  if (Status plain = check_plain_file(cache_path, label); !plain) {
    return fail(plain.error());
  }
  // A copy another account could have changed is made again, not reused;
  // one that may be is measured and hashed through the handle it was
  // judged by.
  OsResult<File> file = open_trusted_file(cache_path);
  if (!file) {
    return false;
  }
  const OsResult<uint64_t> size = file->size();
  if (!size || *size != payload.bytes) {
    return false;
  }
  const Result<std::string> digest = hash_open_file(*file);
  if (!digest) {
    return fail(digest.error());
  }
  return digests_equal(*digest, payload.sha256);
}

Status prepare_cache_directory(const std::string& cache_path, std::string_view label) {
  const std::optional<std::string> directory = parent_path(cache_path);
  if (!directory) {
    return fail(labelled("", label, "缓存目录无效。"));
  }
  if (auto made = create_directories(*directory); !made) {
    return fail(phrase_with_error(labelled("创建", label, "缓存目录失败"), made.error()));
  }
  const OsResult<PathAttributes> attributes = read_path_attributes(*directory);
  if (!attributes) {
    return fail(phrase_with_error(labelled("检查", label, "缓存目录失败"), attributes.error()));
  }
  if (!is_plain_directory(*attributes)) {
    return fail(labelled("", label, "缓存目录不是普通目录，已停止更新。"));
  }
  // The cached program is copied into the install directory and run from
  // there: its folder must be one only administrators change. One made or
  // loosened by another account is repaired, or set aside and made anew.
  if (auto secured = secure_directory(*directory); !secured) {
    return fail(phrase_with_error(labelled("创建", label, "缓存目录失败"), secured.error()));
  }
  return ok();
}

// How often the copy asks for its bytes to go to the disk already, so that
// the flush at the end has little left to wait for.
constexpr uint64_t kWritebackBytes = 8 * 1048576;

// What the copy saw: the first two bytes and the digest of everything.
struct CopiedPayload {
  std::array<std::byte, 2> head{};
  std::string sha256;
};

Result<CopiedPayload> copy_payload(BundleSource& source,
                                   const BundlePayload& payload,
                                   std::string_view label,
                                   File& part) {
  if (auto sought = source.seek(payload.offset); !sought) {
    return fail(phrase_with_error(labelled("定位", label, "失败"), sought.error()));
  }
  const std::string read_phrase = labelled("读取", label, "失败");
  const std::string write_phrase = labelled("写入", label, "缓存失败");
  // Each piece is read into the hasher's memory, written from there, and
  // hashed on a second thread while the next one is read and written.
  BackgroundHasher hasher;
  CopiedPayload copied;
  uint64_t done = 0;
  while (done < payload.bytes) {
    const std::span<std::byte> room = hasher.room();
    const size_t wanted = static_cast<size_t>(
        std::min<uint64_t>({payload.bytes - done, room.size(), kPayloadChunkBytes}));
    const OsResult<size_t> count = source.read(room.first(wanted));
    if (!count) {
      return fail(phrase_with_error(read_phrase, count.error()));
    }
    if (*count == 0) {
      return fail(phrase_with_error(read_phrase, unexpected_end_of_file()));
    }
    const auto piece = room.first(*count);
    for (size_t i = 0; i < piece.size() && done + i < copied.head.size(); ++i) {
      copied.head[done + i] = piece[i];
    }
    if (auto written = part.write_all(piece); !written) {
      return fail(phrase_with_error(write_phrase, written.error()));
    }
    hasher.commit(*count);
    done += *count;
    if (done % kWritebackBytes < *count) {
      part.start_writeback();
    }
  }
  const OsResult<Sha256Digest> digest = hasher.finish();
  if (!digest) {
    return fail(phrase_with_error(read_phrase, digest.error()));
  }
  copied.sha256 = digest_to_hex(*digest);
  return copied;
}

// Writes the part file; it is deleted again on any failure, since a
// half-copied program is of no use to the next run either.
Result<CopiedPayload> write_part_file(BundleSource& source,
                                      const BundlePayload& payload,
                                      std::string_view label,
                                      const std::string& part_path) {
  OsResult<File> part = File::create_new(part_path);
  if (!part) {
    return fail(phrase_with_error(labelled("创建", label, "缓存失败"), part.error()));
  }
  Result<CopiedPayload> copied = copy_payload(source, payload, label, *part);
  if (copied) {
    if (auto flushed = part->flush(); !flushed) {
      copied = fail(phrase_with_error(labelled("保存", label, "缓存失败"), flushed.error()));
    }
  }
  part->close();
  if (!copied) {
    (void)remove_file(part_path);
  }
  return copied;
}

}  // namespace

std::string cache_part_path(const std::string& cache_path) {
  return cache_path + ".part";
}

namespace {

Result<CacheFill> fill_cache(BundleSource& source,
                             const BundlePayload& payload,
                             std::string_view label,
                             const std::string& cache_path) {
  const bool cache_exists = read_path_attributes(cache_path).has_value();
  if (cache_exists) {
    const Result<bool> matches = cache_matches(cache_path, payload, label);
    if (!matches) {
      return fail(matches.error());
    }
    if (*matches) {
      return CacheFill::kReused;
    }
  }
  if (Status ready = prepare_cache_directory(cache_path, label); !ready) {
    return fail(ready.error());
  }
  const std::string part_path = cache_part_path(cache_path);
  if (Status cleared = remove_plain_file_if_present(part_path, labelled("未完成的", label, "缓存"));
      !cleared) {
    return fail(cleared.error());
  }
  const Result<CopiedPayload> copied = write_part_file(source, payload, label, part_path);
  if (!copied) {
    return fail(copied.error());
  }
  // The copy is the payload's only proof: a wrong digest is the
  // installer's fault, not the copy's.
  if (!digests_equal(copied->sha256, payload.sha256)) {
    (void)remove_file(part_path);
    return fail(labelled("安装包中的", label, "校验失败。"));
  }
  const bool is_program = copied->head[0] == std::byte{'M'} && copied->head[1] == std::byte{'Z'};
  if (!is_program) {
    (void)remove_file(part_path);
    return fail(labelled("写入后的", label, "校验失败。"));
  }
  if (cache_exists) {
    if (Status removed = remove_plain_file_if_present(cache_path, labelled("旧", label, "缓存"));
        !removed) {
      return fail(removed.error());
    }
  }
  if (auto renamed = rename_path(part_path, cache_path); !renamed) {
    return fail(phrase_with_error(labelled("完成", label, "缓存失败"), renamed.error()));
  }
  return CacheFill::kCopied;
}

}  // namespace

Status extract_payload_to_cache(BundleSource& source,
                                const BundlePayload& payload,
                                std::string_view label,
                                const std::string& cache_path,
                                CacheFill* fill) {
  const Result<CacheFill> filled = fill_cache(source, payload, label, cache_path);
  if (!filled) {
    return fail(filled.error());
  }
  if (fill != nullptr) {
    *fill = *filled;
  }
  return ok();
}

}  // namespace velmo
