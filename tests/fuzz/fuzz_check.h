#ifndef VELMO_TESTS_FUZZ_FUZZ_CHECK_H_
#define VELMO_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

namespace velmo::fuzz {

// Stops the fuzzer when a property of the code under test does not hold.
// assert() would vanish under NDEBUG; abort() makes libFuzzer report the
// failure and save the input that caused it.
inline void require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "fuzz property violated: %s\n", property);
    std::abort();
  }
}

}  // namespace velmo::fuzz

#endif  // VELMO_TESTS_FUZZ_FUZZ_CHECK_H_
