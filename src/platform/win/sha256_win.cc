#include <windows.h>

#include <bcrypt.h>
#include <winternl.h>

#include <algorithm>

#include "platform/sha256.h"
#include "platform/win/handles.h"

namespace velmo {

struct Sha256::State {
  UniqueBcryptAlgorithm algorithm;
  UniqueBcryptHash hash;
};

namespace {

// BCrypt reports NTSTATUS values; the user sees them as the matching Windows
// error so the text is the system's.
OsError bcrypt_error(NTSTATUS status) {
  return os_error_from_code(::RtlNtStatusToDosError(status));
}

bool succeeded(NTSTATUS status) {
  return status >= 0;
}

}  // namespace

Sha256::Sha256(std::unique_ptr<State> state) : state_(std::move(state)) {}
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;
Sha256::~Sha256() = default;

OsResult<Sha256> Sha256::create() {
  auto state = std::make_unique<State>();
  NTSTATUS status =
      ::BCryptOpenAlgorithmProvider(state->algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  if (!succeeded(status)) {
    return std::unexpected(bcrypt_error(status));
  }
  status = ::BCryptCreateHash(state->algorithm.get(), state->hash.put(), nullptr, 0, nullptr, 0, 0);
  if (!succeeded(status)) {
    return std::unexpected(bcrypt_error(status));
  }
  return Sha256(std::move(state));
}

OsStatus Sha256::update(std::span<const std::byte> data) {
  // BCryptHashData takes a 32-bit length: feed larger buffers in pieces.
  while (!data.empty()) {
    const size_t piece = std::min<size_t>(data.size(), 0x40000000);
    auto* bytes = reinterpret_cast<PUCHAR>(const_cast<std::byte*>(data.data()));
    const NTSTATUS status =
        ::BCryptHashData(state_->hash.get(), bytes, static_cast<ULONG>(piece), 0);
    if (!succeeded(status)) {
      return std::unexpected(bcrypt_error(status));
    }
    data = data.subspan(piece);
  }
  return {};
}

OsResult<Sha256Digest> Sha256::finish() {
  Sha256Digest digest{};
  const NTSTATUS status =
      ::BCryptFinishHash(state_->hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
  if (!succeeded(status)) {
    return std::unexpected(bcrypt_error(status));
  }
  return digest;
}

}  // namespace velmo
