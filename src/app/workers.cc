#include "app/workers.h"

#include <thread>
#include <utility>

#include "app/launch_worker.h"
#include "app/pipeline_services.h"
#include "network/bootstrap_policy.h"

namespace velmo {

void run_policy_worker(EventSender sender, const PolicyFetcher& fetch, ReleaseStore& store) {
  Result<VerifiedRelease> release = fetch();
  if (!release) {
    sender.send(WorkerEvent::policy_failed(std::move(release.error())));
    return;
  }
  if (Status stored = store.store(std::move(*release)); !stored) {
    sender.send(WorkerEvent::policy_failed(std::move(stored.error())));
    return;
  }
  sender.send(WorkerEvent::policy_ready());
}

void run_installation_worker(InstallationInputs inputs,
                             EventSender sender,
                             const InstallationRunner& run) {
  if (Status result = run(inputs, sender); !result) {
    sender.send(WorkerEvent::install_failed(std::move(result.error())));
  }
}

void start_policy_worker(ReceiverSlot& slot, PolicyFetcher fetch) {
  if (!fetch) {
    fetch = fetch_bootstrap_policy;
  }
  ProgressChannel channel = open_progress_queue();
  slot.park(std::move(channel.receiver));
  std::thread([sender = std::move(channel.sender), fetch = std::move(fetch)]() mutable {
    run_policy_worker(std::move(sender), fetch, release_store());
  }).detach();
}

void start_installation_run(InstallationInputs inputs, ReceiverSlot& slot, InstallationRunner run) {
  if (!run) {
    run = [](const InstallationInputs& run_inputs, const EventSender& sender) {
      return run_installation(run_inputs, sender);
    };
  }
  ProgressChannel channel = open_progress_queue();
  slot.park(std::move(channel.receiver));
  std::thread([inputs = std::move(inputs), sender = std::move(channel.sender),
               run = std::move(run)]() mutable {
    run_installation_worker(std::move(inputs), std::move(sender), run);
  }).detach();
}

void start_launch(std::string install_dir, EventSender sender) {
  std::thread([install_dir = std::move(install_dir), sender = std::move(sender)]() mutable {
    run_launch_worker(std::move(install_dir), std::move(sender));
  }).detach();
}

}  // namespace velmo
