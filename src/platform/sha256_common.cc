#include "platform/sha256.h"

namespace velmo {

OsResult<Sha256Digest> sha256_of(std::span<const std::byte> data) {
  auto hasher = Sha256::create();
  if (!hasher) {
    return std::unexpected(hasher.error());
  }
  if (auto updated = hasher->update(data); !updated) {
    return std::unexpected(updated.error());
  }
  return hasher->finish();
}

}  // namespace velmo
