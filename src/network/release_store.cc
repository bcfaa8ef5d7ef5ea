#include "network/release_store.h"

#include <system_error>
#include <utility>

namespace velmo {

namespace {

constexpr char kStoreUnusable[] = "更新策略状态不可用，请重新打开助手。";
constexpr char kNothingStored[] = "尚未取得正式版本策略，请重新检测。";

}  // namespace

Status ReleaseStore::store(VerifiedRelease release) {
  // Taking the lock can fail only when the system refuses it; the store is
  // then unusable for the rest of the process and the user has to restart.
  try {
    std::lock_guard lock(mutex_);
    release_ = std::move(release);
  } catch (const std::system_error&) {
    return fail(kStoreUnusable);
  }
  return ok();
}

void ReleaseStore::clear() {
  try {
    std::lock_guard lock(mutex_);
    release_.reset();
  } catch (const std::system_error&) {
    // An unusable store answers every load with its failure anyway.
  }
}

Result<VerifiedRelease> ReleaseStore::load() const {
  std::optional<VerifiedRelease> copy;
  try {
    std::lock_guard lock(mutex_);
    copy = release_;
  } catch (const std::system_error&) {
    return fail(kStoreUnusable);
  }
  if (!copy) {
    return fail(kNothingStored);
  }
  return std::move(*copy);
}

ReleaseStore& release_store() {
  static ReleaseStore store;
  return store;
}

Status store_release(VerifiedRelease release) {
  return release_store().store(std::move(release));
}

Result<VerifiedRelease> load_release() {
  return release_store().load();
}

}  // namespace velmo
