#include "app/launch_worker.h"

namespace velmo {

void run_launch_worker(std::string /*install_dir*/, EventSender sender) {
  sender.send(WorkerEvent::launch_failed("此版本尚未接入工作台启动流程。"));
}

}  // namespace velmo
