#include "network/background_hasher.h"

#include <algorithm>
#include <cstring>

namespace velmo {

BackgroundHasher::BackgroundHasher() : blocks_(kBlockCount) {
  for (size_t i = 0; i < blocks_.size(); ++i) {
    free_.push_back(i);
  }
  thread_ = std::thread([this] { hash_blocks(); });
}

BackgroundHasher::~BackgroundHasher() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    abandoned_ = true;
  }
  block_full_.notify_one();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void BackgroundHasher::feed(std::span<const std::byte> data) {
  while (!data.empty()) {
    const std::span<std::byte> space = room();
    const size_t taken = std::min(data.size(), space.size());
    std::memcpy(space.data(), data.data(), taken);
    commit(taken);
    data = data.subspan(taken);
  }
}

std::span<std::byte> BackgroundHasher::room() {
  if (!filling_) {
    std::unique_lock lock(mutex_);
    block_free_.wait(lock, [this] { return !free_.empty(); });
    filling_ = free_.back();
    free_.pop_back();
    blocks_[*filling_].used = 0;
  }
  Block& block = blocks_[*filling_];
  return block.all().subspan(block.used);
}

void BackgroundHasher::commit(size_t bytes) {
  if (!filling_ || bytes == 0) {
    return;
  }
  Block& block = blocks_[*filling_];
  block.used += std::min(bytes, kBlockBytes - block.used);
  if (block.used == kBlockBytes) {
    hand_over_filling();
  }
}

void BackgroundHasher::hand_over_filling() {
  {
    std::lock_guard lock(mutex_);
    full_.push_back(*filling_);
  }
  filling_.reset();
  block_full_.notify_one();
}

OsResult<Sha256Digest> BackgroundHasher::finish() {
  if (filling_) {
    hand_over_filling();
  }
  std::unique_lock lock(mutex_);
  ending_ = true;
  block_full_.notify_one();
  block_free_.wait(lock, [this] { return finished_; });
  return result_;
}

// Runs on the hashing thread until finish() or the destructor ends it. A
// hashing error is kept and the rest is drained unhashed, so feed() never
// waits for a thread that has given up.
void BackgroundHasher::hash_blocks() {
  OsResult<Sha256> hasher = Sha256::create();
  std::optional<OsError> error;
  if (!hasher) {
    error = hasher.error();
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    block_full_.wait(lock, [this] { return !full_.empty() || ending_; });
    if (abandoned_ || (full_.empty() && ending_)) {
      break;
    }
    const size_t index = full_.front();
    full_.pop_front();
    lock.unlock();
    if (!error) {
      Block& block = blocks_[index];
      if (auto fed = hasher->update(block.all().first(block.used)); !fed) {
        error = fed.error();
      }
    }
    lock.lock();
    free_.push_back(index);
    block_free_.notify_one();
  }
  if (error) {
    result_ = std::unexpected(*error);
  } else if (!abandoned_) {
    lock.unlock();
    OsResult<Sha256Digest> digest = hasher->finish();
    lock.lock();
    result_ = std::move(digest);
  }
  finished_ = true;
  block_free_.notify_all();
}

}  // namespace velmo
