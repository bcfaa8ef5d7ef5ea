#include "velmo-diag/diag_install.h"

#include <chrono>
#include <optional>
#include <thread>

#include "app/pipeline_services.h"
#include "app/progress_queue.h"
#include "app/workers.h"
#include "environment/environment_check.h"
#include "network/bootstrap_policy.h"
#include "network/release_store.h"
#include "velmo-diag/diag_commands.h"
#include "velmo-diag/diag_options.h"

namespace velmo::diag {

namespace {

bool carries_component(WorkerEventTag tag) {
  return tag == WorkerEventTag::Progress || tag == WorkerEventTag::Installing ||
         tag == WorkerEventTag::ComponentInstalled || tag == WorkerEventTag::ComponentDownloaded;
}

bool carries_message(WorkerEventTag tag) {
  return tag == WorkerEventTag::PolicyFailed || tag == WorkerEventTag::Progress ||
         tag == WorkerEventTag::Installing || tag == WorkerEventTag::InstallFailed ||
         tag == WorkerEventTag::LaunchFailed;
}

// The run's inputs as the window would take them from a fresh check.
InstallationInputs inputs_from_check(const std::string& install_dir) {
  const EnvironmentCheck check = check_environment(install_dir);
  // present[] holds components 1..5 at index component-1.
  return InstallationInputs{install_dir, check.report.present[3], check.report.present[4]};
}

// Prints events as they arrive until the terminal one; returns it.
WorkerEvent print_until_terminal(EventReceiver& receiver, std::ostream& out) {
  for (;;) {
    std::optional<WorkerEvent> event = receiver.try_receive();
    if (!event) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    tools::print_json(out, worker_event_json(*event));
    if (event->is_terminal()) {
      return std::move(*event);
    }
  }
}

}  // namespace

nlohmann::ordered_json worker_event_json(const WorkerEvent& event) {
  nlohmann::ordered_json json;
  json["event"] = worker_event_name(event.tag);
  if (carries_component(event.tag)) {
    json["component"] = static_cast<uint32_t>(event.component);
  }
  if (event.tag == WorkerEventTag::Progress) {
    json["percent"] = event.percent;
  }
  if (carries_message(event.tag)) {
    json["message"] = event.message;
  }
  return json;
}

int command_install(const std::vector<std::string>& args,
                    std::ostream& out,
                    std::ostream& err,
                    const std::function<int(std::ostream&)>& usage,
                    HttpEndpoints http_endpoints) {
  const auto options = parse_options(
      args, {"--install-dir", "--endpoint", "--assistant", "--webview2-wait-seconds"});
  if (!options || !options->contains("--install-dir")) {
    return usage(err);
  }
  const Result<std::string> origin = policy_origin_option(*options, http_endpoints);
  if (!origin) {
    return tools::print_failure(err, origin.error());
  }
  PipelineServices services =
      pipeline_services(install_services_with_assistant(launcher_source_option(*options)));
  if (const auto wait = options->find("--webview2-wait-seconds"); wait != options->end()) {
    const std::optional<uint64_t> seconds = parse_u64(wait->second);
    if (!seconds || *seconds > 86400) {
      return usage(err);
    }
    services.runtime_wait_limit = std::chrono::seconds(*seconds);
  }
  Result<VerifiedRelease> release = fetch_bootstrap_policy_from(*origin);
  if (!release) {
    return tools::print_failure(err, release.error());
  }
  if (Status stored = store_release(std::move(*release)); !stored) {
    return tools::print_failure(err, stored.error());
  }
  ProgressChannel channel = open_progress_queue();
  std::thread worker([inputs = inputs_from_check(options->at("--install-dir")),
                      sender = channel.sender, &services]() mutable {
    run_installation_worker(
        std::move(inputs), std::move(sender),
        [&services](const InstallationInputs& run_inputs, const EventSender& run_sender) {
          return run_installation(run_inputs, run_sender, services);
        });
  });
  const WorkerEvent last = print_until_terminal(channel.receiver, out);
  worker.join();
  if (last.tag != WorkerEventTag::InstallCompleted) {
    out.flush();
    return tools::print_failure(err, last.message);
  }
  return kExitSuccess;
}

}  // namespace velmo::diag
