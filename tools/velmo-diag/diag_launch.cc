#include "velmo-diag/diag_launch.h"

#include <optional>
#include <utility>

#include "app/launch_worker.h"
#include "app/progress_queue.h"
#include "network/bootstrap_policy.h"
#include "velmo-diag/diag_commands.h"
#include "velmo-diag/diag_install.h"
#include "velmo-diag/diag_options.h"

namespace velmo::diag {

int command_launch(const std::vector<std::string>& args,
                   std::ostream& out,
                   std::ostream& err,
                   const std::function<int(std::ostream&)>& usage,
                   HttpEndpoints http_endpoints) {
  const auto options = parse_options(args, {"--install-dir", "--endpoint"});
  if (!options || !options->contains("--install-dir")) {
    return usage(err);
  }
  const Result<std::string> endpoint = policy_origin_option(*options, http_endpoints);
  if (!endpoint) {
    return tools::print_failure(err, endpoint.error());
  }
  LaunchServices services = default_launch_services();
  services.fetch_policy_within = [origin = *endpoint](std::chrono::steady_clock::duration wait) {
    return fetch_release_within([origin] { return fetch_bootstrap_policy_from(origin); }, wait);
  };
  ProgressChannel channel = open_progress_queue();
  run_launch(options->at("--install-dir"), channel.sender, services);
  std::optional<WorkerEvent> last;
  while (std::optional<WorkerEvent> event = channel.receiver.try_receive()) {
    if (event->is_terminal()) {
      last = std::move(event);
    }
  }
  if (!last) {
    return tools::print_failure(err, "启动流程没有给出结果。");
  }
  tools::print_json(out, worker_event_json(*last));
  if (last->tag != WorkerEventTag::LaunchSucceeded) {
    out.flush();
    return tools::print_failure(err, last->message);
  }
  return kExitSuccess;
}

}  // namespace velmo::diag
