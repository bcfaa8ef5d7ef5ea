#ifndef VELMO_TESTS_UNIT_RELEASE_FIXTURE_H_
#define VELMO_TESTS_UNIT_RELEASE_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "network/release_store.h"

namespace velmo::test {

// The process-wide release store, empty at the start and the end of a test.
class ScopedReleaseStore {
 public:
  ScopedReleaseStore() { release_store().clear(); }
  ~ScopedReleaseStore() { release_store().clear(); }
  ScopedReleaseStore(const ScopedReleaseStore&) = delete;
  ScopedReleaseStore& operator=(const ScopedReleaseStore&) = delete;

  void store(const std::string& latest_version, uint64_t installer_bytes = 100) {
    ASSERT_TRUE(store_release(VerifiedRelease{
        .latest_version = latest_version,
        .download_url = "https://localhost/v1/downloads/x",
        .sha256 = std::string(64, 'A'),
        .installer_bytes = installer_bytes,
    }));
  }
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_RELEASE_FIXTURE_H_
