#include <openssl/err.h>
#include <openssl/evp.h>

#include "platform/sha256.h"

namespace velmo {

struct EvpContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

struct Sha256::State {
  std::unique_ptr<EVP_MD_CTX, EvpContextDeleter> context;
};

namespace {

OsError crypto_error() {
  const unsigned long code = ERR_get_error();
  char text[256] = {};
  ERR_error_string_n(code, text, sizeof(text));
  return OsError{static_cast<uint32_t>(code), text};
}

}  // namespace

Sha256::Sha256(std::unique_ptr<State> state) : state_(std::move(state)) {}
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;
Sha256::~Sha256() = default;

OsResult<Sha256> Sha256::create() {
  auto state = std::make_unique<State>();
  state->context.reset(EVP_MD_CTX_new());
  if (!state->context || EVP_DigestInit_ex(state->context.get(), EVP_sha256(), nullptr) != 1) {
    return std::unexpected(crypto_error());
  }
  return Sha256(std::move(state));
}

OsStatus Sha256::update(std::span<const std::byte> data) {
  if (EVP_DigestUpdate(state_->context.get(), data.data(), data.size()) != 1) {
    return std::unexpected(crypto_error());
  }
  return {};
}

OsResult<Sha256Digest> Sha256::finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length) != 1 ||
      length != digest.size()) {
    return std::unexpected(crypto_error());
  }
  return digest;
}

}  // namespace velmo
