#ifndef VELMO_TESTS_UNIT_TEST_DATA_H_
#define VELMO_TESTS_UNIT_TEST_DATA_H_

#include <string>

namespace velmo::test {

// A file of tests/unit/data. The tree's Linux path is built in; under Wine
// the Linux root is drive Z:.
inline std::string test_data_path(const std::string& name) {
  std::string path = std::string(VELMO_TEST_DATA_DIR) + "/" + name;
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') {
      c = '\\';
    }
  }
  path = "Z:" + path;
#endif
  return path;
}

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_TEST_DATA_H_
