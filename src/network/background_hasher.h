#ifndef VELMO_NETWORK_BACKGROUND_HASHER_H_
#define VELMO_NETWORK_BACKGROUND_HASHER_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "platform/os_error.h"
#include "platform/sha256.h"

namespace velmo {

// SHA-256 on a second thread, fed with bytes as they pass by: a download
// is hashed while it arrives instead of being read again afterwards.
// Bytes are copied into a few fixed blocks handed over to the hashing
// thread; when all are waiting, feed() waits too, so memory stays bounded
// whatever the size of the data and however slow the hashing is.
class BackgroundHasher {
 public:
  static constexpr size_t kBlockBytes = 1048576;
  static constexpr size_t kBlockCount = 4;

  BackgroundHasher();
  // Stops the thread; bytes not hashed yet are dropped.
  ~BackgroundHasher();
  BackgroundHasher(const BackgroundHasher&) = delete;
  BackgroundHasher& operator=(const BackgroundHasher&) = delete;

  // Adds bytes in the order they are fed.
  void feed(std::span<const std::byte> data);

  // For a caller that reads straight into the hasher's memory instead of
  // feeding a copy: the free room of the block being filled (waiting for a
  // free block if need be), never empty. Fill a front part of it, use
  // those bytes as needed (write them out, say), then commit() them, which
  // adds them to the digest; the room may be reused after that.
  std::span<std::byte> room();
  void commit(size_t bytes);

  // Waits for everything fed and returns the digest, or the first hashing
  // error. Nothing may be fed afterwards.
  OsResult<Sha256Digest> finish();

 private:
  // Left uninitialised until filled: hashing a small file touches only the
  // memory it needs.
  struct Block {
    std::unique_ptr<std::byte[]> bytes = std::make_unique_for_overwrite<std::byte[]>(kBlockBytes);
    size_t used = 0;
    std::span<std::byte> all() { return {bytes.get(), kBlockBytes}; }
  };

  void hash_blocks();
  void hand_over_filling();

  std::vector<Block> blocks_;
  // The block feed() fills, owned by the feeding thread alone.
  std::optional<size_t> filling_;

  std::mutex mutex_;
  std::condition_variable block_full_;
  std::condition_variable block_free_;
  std::deque<size_t> full_;
  std::vector<size_t> free_;
  bool ending_ = false;
  bool abandoned_ = false;
  bool finished_ = false;
  OsResult<Sha256Digest> result_;

  std::thread thread_;
};

}  // namespace velmo

#endif  // VELMO_NETWORK_BACKGROUND_HASHER_H_
