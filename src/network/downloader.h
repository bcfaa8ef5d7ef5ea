#ifndef VELMO_NETWORK_DOWNLOADER_H_
#define VELMO_NETWORK_DOWNLOADER_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/http.h"
#include "platform/result.h"

namespace velmo {

// One file to fetch into the download directory.
struct DownloadItem {
  std::string file_name;  // final name, no directory part
  std::string url;        // http or https
  std::string sha256;     // expected digest, either letter case
  uint64_t bytes = 0;     // expected size
};

// Called with the bytes of this file present so far.
using DownloadProgress = std::function<void(uint64_t bytes_present)>;

// Size of each receive: memory stays bounded whatever the file size.
inline constexpr size_t kDownloadChunkBytes = 1048576;

// A server that keeps the connection open but sends next to nothing never
// trips the receive time-out, and the window cannot be closed while it
// downloads: fewer than this many bytes within kTrickleWindow ends the
// transfer as a timed-out read.
inline constexpr uint64_t kTrickleMinimumBytes = 65536;
inline constexpr std::chrono::seconds kTrickleWindow{120};

// The WinHTTP code of a timed-out operation, reported for a trickling server
// with the read stage's text.
inline constexpr uint32_t kTimeoutErrorCode = 12002;

using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;

// The side file a download is written to: the last extension replaced by
// "partial" ("a.package" -> "a.partial", "a" -> "a.partial"; a leading dot
// is not an extension). The final name is given only after verification.
std::string partial_file_name(std::string_view file_name);

// Obtains the item: reuses a verified final or side file, resumes a partial
// one with a range request, verifies size and SHA-256, and only then gives it
// its final name. Returns the final path. `open` performs the HTTP request;
// the real program uses the system's HTTP stack. The side file never grows
// past the expected size, whatever the server sends. `now` times the trickle
// watch.
Result<std::string> download_file(const DownloadItem& item,
                                  const std::string& directory,
                                  const DownloadProgress& progress,
                                  const HttpOpener& open = open_http,
                                  const SteadyNow& now = std::chrono::steady_clock::now);

}  // namespace velmo

#endif  // VELMO_NETWORK_DOWNLOADER_H_
