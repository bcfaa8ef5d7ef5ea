#ifndef VELMO_PRODUCT_INSTALL_BUNDLE_SOURCE_H_
#define VELMO_PRODUCT_INSTALL_BUNDLE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/file.h"
#include "platform/os_error.h"

namespace velmo {

// Positioned reads of the installer's bytes. The program reads the open
// file; tests and the fuzzer read memory through the same reader code.
class BundleSource {
 public:
  virtual ~BundleSource() = default;
  virtual OsStatus seek(uint64_t offset) = 0;
  // Up to buffer.size() bytes from the position; 0 at the end.
  virtual OsResult<size_t> read(std::span<std::byte> buffer) = 0;
};

class FileBundleSource final : public BundleSource {
 public:
  explicit FileBundleSource(File& file) : file_(file) {}
  OsStatus seek(uint64_t offset) override { return file_.seek(offset); }
  OsResult<size_t> read(std::span<std::byte> buffer) override { return file_.read(buffer); }

 private:
  File& file_;
};

class MemoryBundleSource final : public BundleSource {
 public:
  explicit MemoryBundleSource(std::span<const std::byte> data) : data_(data) {}
  OsStatus seek(uint64_t offset) override;
  OsResult<size_t> read(std::span<std::byte> buffer) override;

 private:
  std::span<const std::byte> data_;
  uint64_t position_ = 0;
};

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_BUNDLE_SOURCE_H_
