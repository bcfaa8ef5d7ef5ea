#ifndef VELMO_PLATFORM_UNIQUE_RESOURCE_H_
#define VELMO_PLATFORM_UNIQUE_RESOURCE_H_

#include <utility>

namespace velmo {

// Owns one OS resource described by Traits: Type, invalid() and close(). The
// resource is closed exactly once, on every path, when the owner goes away;
// ownership moves but is never shared.
template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type get() const { return value_; }
  bool is_valid() const { return Traits::is_valid(value_); }
  explicit operator bool() const { return is_valid(); }

  // Gives up ownership without closing.
  Type release() { return std::exchange(value_, Traits::invalid()); }

  void reset(Type value = Traits::invalid()) {
    const Type old = std::exchange(value_, value);
    if (Traits::is_valid(old)) {
      Traits::close(old);
    }
  }

  // For out-parameters of creating calls: closes what is held first.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::invalid();
};

}  // namespace velmo

#endif  // VELMO_PLATFORM_UNIQUE_RESOURCE_H_
