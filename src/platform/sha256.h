#ifndef VELMO_PLATFORM_SHA256_H_
#define VELMO_PLATFORM_SHA256_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/os_error.h"

namespace velmo {

using Sha256Digest = std::array<uint8_t, 32>;

// Streaming SHA-256 (FIPS 180-4): BCrypt on Windows, libcrypto elsewhere.
class Sha256 {
 public:
  static OsResult<Sha256> create();

  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;
  ~Sha256();

  OsStatus update(std::span<const std::byte> data);

  // Ends the computation; the object cannot be updated afterwards.
  OsResult<Sha256Digest> finish();

  struct State;

 private:
  explicit Sha256(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// One-shot digest of a buffer in memory.
OsResult<Sha256Digest> sha256_of(std::span<const std::byte> data);

}  // namespace velmo

#endif  // VELMO_PLATFORM_SHA256_H_
