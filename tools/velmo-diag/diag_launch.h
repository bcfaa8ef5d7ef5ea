#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_LAUNCH_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_LAUNCH_H_

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "velmo-diag/diag_options.h"

namespace velmo::diag {

// velmo-diag launch: what the desktop shortcut does, without the startup
// window: runs the launch worker for the install directory (asking ORIGIN
// for the policy when a downloaded update waits) and prints its terminal
// event as one JSON line. 0 after LaunchSucceeded, 1 with the message after
// LaunchFailed; `usage` reports a malformed command line.
// An --endpoint that `http_endpoints` refuses fails before any network use.
int command_launch(const std::vector<std::string>& args,
                   std::ostream& out,
                   std::ostream& err,
                   const std::function<int(std::ostream&)>& usage,
                   HttpEndpoints http_endpoints);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_LAUNCH_H_
