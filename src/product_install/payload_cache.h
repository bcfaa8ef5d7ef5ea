#ifndef VELMO_PRODUCT_INSTALL_PAYLOAD_CACHE_H_
#define VELMO_PRODUCT_INSTALL_PAYLOAD_CACHE_H_

#include <string>
#include <string_view>

#include "platform/result.h"
#include "product_install/bundle_format.h"
#include "product_install/bundle_source.h"

namespace velmo {

// The temporary name a cache file is written under: "x.exe" -> "x.exe.part".
std::string cache_part_path(const std::string& cache_path);

// How the cache came to hold the payload.
enum class CacheFill {
  kReused,  // an earlier run's cache file already matched; the installer was not read
  kCopied,  // copied now, and the copy proved the payload in the installer
};

// Puts a payload, whose description was checked, into `cache_path`. A cache
// file that already has the payload's size and digest is kept as it is.
// Otherwise the payload is copied to the part file (created new, never
// through an existing name), hashed while copied, flushed, and renamed over
// the cache only when it has the expected digest ("安装包中的{label}校验失败。"
// otherwise: the installer's payload is wrong) and starts with "MZ"
// ("写入后的{label}校验失败。"). A part file that fails is deleted, so the
// cache directory holds a verified file or nothing new. On success `fill`,
// when given, tells which of the two happened.
Status extract_payload_to_cache(BundleSource& source,
                                const BundlePayload& payload,
                                std::string_view label,
                                const std::string& cache_path,
                                CacheFill* fill = nullptr);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_PAYLOAD_CACHE_H_
