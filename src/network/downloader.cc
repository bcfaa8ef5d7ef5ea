#include "network/downloader.h"

#include <algorithm>
#include <optional>

#include "network/background_hasher.h"
#include "network/download_url.h"
#include "network/sha256_file.h"
#include "network/trickle_watch.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/os_error.h"
#include "platform/path_attributes.h"
#include "platform/replace_file.h"
#include "platform/secure_directory.h"

namespace velmo {

namespace {

constexpr HttpTimeouts kDownloadTimeouts{30000, 30000, 30000, 120000};

constexpr HttpStages kDownloadStages{
    .open_session = "初始化下载服务失败",
    .connect = "连接下载服务器失败",
    .open_request = "创建下载请求失败",
    .add_range = "恢复下载失败",
    .send = "发送下载请求失败",
    .receive = "接收下载响应失败",
    .status = "读取下载状态失败",
    .query_data = "读取下载进度失败",
    .read_data = "下载数据失败",
};

uint64_t size_or_zero(const std::string& path) {
  return file_size(path).value_or(0);
}

// A final file of the right size and digest needs no network. A file
// another account owns or may change could be rewritten after the check, so
// it is never taken; a verified download replaces it.
Result<bool> final_file_is_verified(const DownloadItem& item, const std::string& final_path) {
  if (!is_trusted_file(final_path)) {
    return false;
  }
  auto size = file_size(final_path);
  if (!size || *size != item.bytes) {
    return false;
  }
  auto digest = sha256_file(final_path);
  if (!digest) {
    return fail(digest.error());
  }
  return digests_equal(*digest, item.sha256);
}

// A side file that another account owns or may change (one left from before
// the folder was protected, or a link) is neither resumed nor appended to:
// it is removed, and the download starts from the first byte in a file of
// our own.
Status discard_untrusted_side_file(const std::string& partial_path) {
  if (!read_path_attributes(partial_path) || is_trusted_file(partial_path)) {
    return ok();
  }
  if (auto removed = remove_file(partial_path); !removed) {
    return fail(phrase_with_error("清理无效下载文件失败", removed.error()));
  }
  return ok();
}

constexpr std::string_view kHashFailed = "读取校验文件失败";

// A side file that reached the full size is either the finished
// download or garbage from another package; garbage is deleted so the
// download starts over from the first byte. The file is held from its
// hashing to its rename, so what gets the final name is what was hashed.
Result<bool> reuse_complete_side_file(const DownloadItem& item,
                                      const std::string& partial_path,
                                      const std::string& final_path) {
  if (size_or_zero(partial_path) < item.bytes) {
    return false;
  }
  OsResult<File> file = File::open_existing_held(partial_path);
  if (!file) {
    return fail(phrase_with_error(kHashFailed, file.error()));
  }
  auto digest = hash_open_file(*file);
  if (!digest) {
    return fail(digest.error());
  }
  if (digests_equal(*digest, item.sha256)) {
    if (auto replaced = replace_held_file(*file, partial_path, final_path); !replaced) {
      return fail(replaced.error());
    }
    return true;
  }
  file->close();
  if (auto removed = remove_file(partial_path); !removed) {
    return fail(phrase_with_error("清理无效下载文件失败", removed.error()));
  }
  return false;
}

// A 206 to a range request appends; 200 (or 206 without a range)
// starts the side file from its first byte. Either way the file is held
// until its rename: the digest is taken from the bytes as they are
// written, which is only the file's digest while nobody else can change it.
Result<File> open_side_file(uint32_t status,
                            uint64_t resume_offset,
                            const std::string& partial_path) {
  if (status == 206 && resume_offset > 0) {
    auto file = File::open_existing_held(partial_path);
    if (!file) {
      return fail(phrase_with_error("打开续传文件失败", file.error()));
    }
    return std::move(*file);
  }
  if (status == 200 || status == 206) {
    auto file = File::create_truncate_held(partial_path);
    if (!file) {
      return fail(phrase_with_error("创建下载文件失败", file.error()));
    }
    return std::move(*file);
  }
  return fail("下载服务器返回 HTTP " + std::to_string(status) + "。");
}

// How the body ended. A server that sends more than expected is cut off at
// the expected size: the side file never grows past it, so a hostile or
// broken server cannot fill the disk.
struct BodyEnd {
  // The size the file would have reached when the cut was made.
  std::optional<uint64_t> oversized;
};

uint64_t saturating_add(uint64_t a, uint64_t b) {
  const uint64_t sum = a + b;
  return sum < a ? UINT64_MAX : sum;
}

// Receives into the side file. Each piece is read straight into the
// hasher's memory, written to the file from there, and only then handed to
// the hasher, so every byte written is hashed and none is copied twice.
// `current` counts what is present.
Result<BodyEnd> receive_body(HttpResponse& response,
                             File& file,
                             BackgroundHasher& hasher,
                             uint64_t expected,
                             uint64_t current,
                             const DownloadProgress& progress,
                             const SteadyNow& now) {
  TrickleWatch watch(now);
  for (;;) {
    auto available = response.data_available();
    if (!available) {
      return fail(available.error());
    }
    if (*available == 0) {
      return BodyEnd{};
    }
    const std::span<std::byte> room = hasher.room();
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>({*available, kDownloadChunkBytes, room.size()}));
    auto received = response.read(room.first(wanted));
    if (!received) {
      return fail(received.error());
    }
    if (*received == 0) {
      return BodyEnd{};
    }
    const uint64_t reached = saturating_add(current, *received);
    const uint64_t room_left = current < expected ? expected - current : 0;
    const size_t kept = static_cast<size_t>(std::min<uint64_t>(*received, room_left));
    if (auto written = file.write_all(room.first(kept)); !written) {
      return fail(phrase_with_error("保存下载文件失败", written.error()));
    }
    hasher.commit(kept);
    current += kept;
    progress(current);
    if (kept < *received) {
      return BodyEnd{.oversized = reached};
    }
    if (!watch.keeps_pace(kept)) {
      return fail(format_stage_error(kDownloadStages.read_data, kTimeoutErrorCode));
    }
  }
}

std::string size_message(const DownloadItem& item, uint64_t size) {
  return item.file_name + " 下载不完整：应为 " + std::to_string(item.bytes) + " 字节，实际 " +
         std::to_string(size) + " 字节。";
}

// A cut-off side file holds exactly the expected size. It stays only when it
// is the right file after all, which the next attempt then takes without
// network; anything else is deleted now rather than left for a later hash.
std::string discard_oversized(const DownloadItem& item,
                              const std::string& partial_path,
                              File& file,
                              const OsResult<Sha256Digest>& digest,
                              uint64_t oversized) {
  file.close();
  if (!digest || !digests_equal(digest_to_hex(*digest), item.sha256)) {
    (void)remove_file(partial_path);
  }
  return size_message(item, oversized);
}

// Checks the size, then the digest of every byte written. A failing side file
// stays on disk: the next attempt resumes it (too short) or deletes it (full
// size, wrong digest).
Status verify_side_file(const DownloadItem& item,
                        File& file,
                        const OsResult<Sha256Digest>& digest) {
  auto size = file.size();
  if (!size) {
    return fail(phrase_with_error("读取下载文件大小失败", size.error()));
  }
  if (*size != item.bytes) {
    return fail(size_message(item, *size));
  }
  if (!digest) {
    return fail(phrase_with_error(kHashFailed, digest.error()));
  }
  if (!digests_equal(digest_to_hex(*digest), item.sha256)) {
    return fail(item.file_name + " 校验失败，已停止继续处理。");
  }
  return ok();
}

// Steps 3 to 12: request, receive, verify and rename, with the side file
// held from its opening to its rename.
Status fetch_and_save(const DownloadItem& item,
                      const std::string& partial_path,
                      const std::string& final_path,
                      const DownloadProgress& progress,
                      const HttpOpener& open,
                      const SteadyNow& now) {
  const uint64_t resume_offset = size_or_zero(partial_path);
  auto url = parse_download_url(item.url);
  if (!url) {
    return fail(url.error());
  }
  HttpRequest request{.verb = "GET",
                      .host = url->host,
                      .port = url->port,
                      .secure = url->secure,
                      .path = url->path,
                      .range_offset = std::nullopt,
                      .timeouts = kDownloadTimeouts,
                      .stages = kDownloadStages};
  if (resume_offset > 0) {
    request.range_offset = resume_offset;
  }
  auto response = open(request);
  if (!response) {
    return fail(response.error());
  }
  const uint32_t status = (*response)->status();
  Result<File> file = open_side_file(status, resume_offset, partial_path);
  if (!file) {
    return fail(file.error());
  }
  const bool resumed = status == 206 && resume_offset > 0;
  BackgroundHasher hasher;
  // A resumed side file's present bytes go to the hasher first, read
  // through the held handle, which leaves the position at the end for the
  // appended bytes.
  if (resumed) {
    if (Status hashed = feed_rest_of_file(*file, hasher); !hashed) {
      return hashed;
    }
  }
  const uint64_t current = resumed ? resume_offset : 0;
  progress(current);
  Result<BodyEnd> received =
      receive_body(**response, *file, hasher, item.bytes, current, progress, now);
  if (!received) {
    // A failed transfer closes the file before the HTTP handles.
    file->close();
    return fail(received.error());
  }
  // The HTTP handles are done with; the side file stays held until it has
  // been checked and renamed.
  response->reset();
  const OsResult<Sha256Digest> digest = hasher.finish();
  if (received->oversized) {
    return fail(discard_oversized(item, partial_path, *file, digest, *received->oversized));
  }
  if (auto verified = verify_side_file(item, *file, digest); !verified) {
    return verified;
  }
  return replace_held_file(*file, partial_path, final_path);
}

}  // namespace

std::string partial_file_name(std::string_view file_name) {
  const size_t dot = file_name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    return std::string(file_name) + ".partial";
  }
  return std::string(file_name.substr(0, dot)) + ".partial";
}

namespace {

// The name must stay inside the download directory: no separators, no drive
// or stream colon, not "." or "..".
bool is_plain_file_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string_view::npos;
}

}  // namespace

Result<std::string> download_file(const DownloadItem& item,
                                  const std::string& directory,
                                  const DownloadProgress& progress,
                                  const HttpOpener& open,
                                  const SteadyNow& now) {
  if (!is_plain_file_name(item.file_name)) {
    return fail("下载文件名无效：" + item.file_name);
  }
  const std::string final_path = path_join(directory, item.file_name);
  const std::string partial_path = path_join(directory, partial_file_name(item.file_name));

  auto reusable = final_file_is_verified(item, final_path);
  if (!reusable) {
    return fail(reusable.error());
  }
  if (*reusable) {
    progress(item.bytes);
    return final_path;
  }

  if (auto discarded = discard_untrusted_side_file(partial_path); !discarded) {
    return fail(discarded.error());
  }
  auto reused = reuse_complete_side_file(item, partial_path, final_path);
  if (!reused) {
    return fail(reused.error());
  }
  if (*reused) {
    progress(item.bytes);
    return final_path;
  }

  if (auto saved = fetch_and_save(item, partial_path, final_path, progress, open, now); !saved) {
    return fail(saved.error());
  }
  progress(item.bytes);
  return final_path;
}

}  // namespace velmo
