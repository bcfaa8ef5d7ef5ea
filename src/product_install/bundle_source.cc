#include "product_install/bundle_source.h"

#include <algorithm>
#include <cstring>

namespace velmo {

OsStatus MemoryBundleSource::seek(uint64_t offset) {
  // Like a file, a position beyond the end is allowed; reads there give 0.
  position_ = offset;
  return {};
}

OsResult<size_t> MemoryBundleSource::read(std::span<std::byte> buffer) {
  if (position_ >= data_.size()) {
    return 0;
  }
  const size_t count =
      static_cast<size_t>(std::min<uint64_t>(buffer.size(), data_.size() - position_));
  std::memcpy(buffer.data(), data_.data() + position_, count);
  position_ += count;
  return count;
}

}  // namespace velmo
