#ifndef VELMO_NETWORK_DOWNLOADER_H_
#define VELMO_NETWORK_DOWNLOADER_H_

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

// The side file a download is written to: the last extension replaced by
// "partial" ("a.package" -> "a.partial", "a" -> "a.partial"; a leading dot
// is not an extension). The final name is given only after verification.
std::string partial_file_name(std::string_view file_name);

// Obtains the item: reuses a verified final or side file, resumes a partial
// one with a range request, verifies size and SHA-256, and only then gives it
// its final name. Returns the final path. `open` performs the HTTP request;
// the real program uses the system's HTTP stack.
Result<std::string> download_file(const DownloadItem& item,
                                  const std::string& directory,
                                  const DownloadProgress& progress,
                                  const HttpOpener& open = open_http);

}  // namespace velmo

#endif  // VELMO_NETWORK_DOWNLOADER_H_
