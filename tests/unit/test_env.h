#ifndef VELMO_TESTS_UNIT_TEST_ENV_H_
#define VELMO_TESTS_UNIT_TEST_ENV_H_

#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "platform/win/wide.h"
#else
#include <cstdlib>
#endif

namespace velmo::test {

// Sets (or with nothing, removes) a variable of this process for the scope
// of the object, restoring the earlier state afterwards.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
      old_ = old;
    }
    set(value);
  }
  ~ScopedEnv() { set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const std::optional<std::string>& value) {
#ifdef _WIN32
    ::SetEnvironmentVariableW(to_wide(name_).c_str(), value ? to_wide(*value).c_str() : nullptr);
#else
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
#endif
  }

  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_TEST_ENV_H_
