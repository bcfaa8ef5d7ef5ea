#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_INSTALL_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_INSTALL_H_

#include <nlohmann/json.hpp>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/worker_event.h"

#include "velmo-diag/diag_options.h"

namespace velmo::diag {

// One event as a JSON object: the variant's name under "event", then only
// the fields the variant carries ("component", "percent", "message").
nlohmann::ordered_json worker_event_json(const WorkerEvent& event);

// velmo-diag install: fetches and stores the policy, runs the environment
// check for the install directory and the whole installation run on a
// worker thread, printing every event as one JSON line. 0 after
// InstallCompleted, 1 with the message after a failure; `usage` reports a
// malformed command line.
// An --endpoint that `http_endpoints` refuses fails before any network use.
int command_install(const std::vector<std::string>& args,
                    std::ostream& out,
                    std::ostream& err,
                    const std::function<int(std::ostream&)>& usage,
                    HttpEndpoints http_endpoints);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_INSTALL_H_
