#ifndef VELMO_NETWORK_RELEASE_STORE_H_
#define VELMO_NETWORK_RELEASE_STORE_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/result.h"

namespace velmo {

// The workbench release the vendor's policy offered, after validation.
struct VerifiedRelease {
  std::string latest_version;
  std::string download_url;
  std::string sha256;
  uint64_t installer_bytes = 0;

  bool operator==(const VerifiedRelease&) const = default;
};

// The process-wide slot holding the last verified release. The policy worker
// writes it, the installation run and the labels read copies; the lock is
// held only to copy a value in or out.
class ReleaseStore {
 public:
  Status store(VerifiedRelease release);
  Result<VerifiedRelease> load() const;
  // Back to "no policy fetched yet"; for tests and diagnostics that start
  // from a clean state in one process.
  void clear();

 private:
  mutable std::mutex mutex_;
  std::optional<VerifiedRelease> release_;
};

// The one process-wide store.
ReleaseStore& release_store();

// store_release / load_release on the process-wide store.
Status store_release(VerifiedRelease release);
Result<VerifiedRelease> load_release();

}  // namespace velmo

#endif  // VELMO_NETWORK_RELEASE_STORE_H_
