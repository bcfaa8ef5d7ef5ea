#ifndef VELMO_TESTS_UNIT_DIAG_RUN_H_
#define VELMO_TESTS_UNIT_DIAG_RUN_H_

#include <sstream>
#include <string>
#include <vector>

#include "velmo-diag/diag_commands.h"

namespace velmo::diag {

// One velmo-diag run in the test's process: exit code and both outputs.
struct DiagRun {
  int code;
  std::string out;
  std::string err;
};

inline DiagRun run(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = run_diag(args, out, err);
  return {code, out.str(), err.str()};
}

// The same under a rule for plain-HTTP endpoints other than this build's.
inline DiagRun run_under(HttpEndpoints http_endpoints, const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = run_diag_under(http_endpoints, args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace velmo::diag

#endif  // VELMO_TESTS_UNIT_DIAG_RUN_H_
