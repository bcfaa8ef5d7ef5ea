#ifndef VELMO_APP_WORKERS_H_
#define VELMO_APP_WORKERS_H_

#include <functional>
#include <string>

#include "app/installation_pipeline.h"
#include "app/progress_queue.h"
#include "app/receiver_slot.h"
#include "network/release_store.h"

namespace velmo {

using PolicyFetcher = std::function<Result<VerifiedRelease>()>;
using InstallationRunner = std::function<Status(const InstallationInputs&, const EventSender&)>;

// Thread bodies, callable directly so tests can run them synchronously.

// Fetches and validates the policy, stores the release, then sends exactly one
// event: PolicyReady, or PolicyFailed with the message.
void run_policy_worker(EventSender sender, const PolicyFetcher& fetch, ReleaseStore& store);

// Runs the installation; a failure becomes InstallFailed with its message
// (success has already sent InstallCompleted from inside the run).
void run_installation_worker(InstallationInputs inputs,
                             EventSender sender,
                             const InstallationRunner& run);

// Starters used by the window thread. Each opens a fresh queue, parks its
// receiving end in `slot` (closing the previous run's) and starts a detached
// worker thread that nobody joins.

void start_policy_worker(ReceiverSlot& slot, PolicyFetcher fetch = nullptr);
void start_installation_run(InstallationInputs inputs,
                            ReceiverSlot& slot,
                            InstallationRunner run = nullptr);
void start_launch(std::string install_dir, EventSender sender);

}  // namespace velmo

#endif  // VELMO_APP_WORKERS_H_
