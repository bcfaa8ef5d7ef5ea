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

// Copies a verified payload out of the installer into `cache_path`. A cache
// file that already has the payload's size and digest is kept as it is.
// Otherwise the payload is copied to the part file (created new, never
// through an existing name), hashed while copied, flushed, and renamed over
// the cache only when it starts with "MZ" and has the expected digest. A
// part file that fails is deleted, so the cache directory holds a verified
// file or nothing new.
Status extract_payload_to_cache(BundleSource& source,
                                const BundlePayload& payload,
                                std::string_view label,
                                const std::string& cache_path);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_PAYLOAD_CACHE_H_
