#ifndef VELMO_APP_LAUNCH_WORKER_H_
#define VELMO_APP_LAUNCH_WORKER_H_

#include <string>

#include "app/progress_queue.h"

namespace velmo {

// Body of the launch worker: brings the workbench up from `install_dir` and
// ends with LaunchSucceeded or LaunchFailed.
// Interim: until launch mode exists it reports LaunchFailed at once.
void run_launch_worker(std::string install_dir, EventSender sender);

}  // namespace velmo

#endif  // VELMO_APP_LAUNCH_WORKER_H_
