#include <cstddef>
#include <span>
#include <vector>

#include "platform/file.h"

namespace velmo {

namespace {

// Bounds memory whatever the file size.
constexpr size_t kCopyBufferBytes = 1048576;

}  // namespace

OsStatus File::copy_content_into(File& target) {
  if (OsStatus rewound = seek(0); !rewound) {
    return rewound;
  }
  std::vector<std::byte> buffer(kCopyBufferBytes);
  for (;;) {
    const OsResult<size_t> n = read(buffer);
    if (!n) {
      return std::unexpected(n.error());
    }
    if (*n == 0) {
      return {};
    }
    if (OsStatus written = target.write_all(std::span(buffer).first(*n)); !written) {
      return written;
    }
  }
}

}  // namespace velmo
