#ifndef VELMO_PRODUCT_FILES_EMBEDDED_BOOTSTRAPPER_H_
#define VELMO_PRODUCT_FILES_EMBEDDED_BOOTSTRAPPER_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace velmo {

// A file the program carries in its own read-only data, with the digest it
// must have (64 upper-case hexadecimal digits).
struct CarriedFile {
  std::span<const uint8_t> bytes;
  std::string_view sha256;
};

// The WebView2 bootstrapper this build carries and its pinned digest (see
// webview2_bootstrapper_pin.h for which file that is).
CarriedFile carried_webview2_bootstrapper();

}  // namespace velmo

#endif  // VELMO_PRODUCT_FILES_EMBEDDED_BOOTSTRAPPER_H_
