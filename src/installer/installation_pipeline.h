#ifndef VELMO_INSTALLER_INSTALLATION_PIPELINE_H_
#define VELMO_INSTALLER_INSTALLATION_PIPELINE_H_

#include <string>

#include "app/progress_queue.h"
#include "platform/result.h"

namespace velmo {

// A run's inputs, copied from the window state when the run starts; the run
// never reads the window state itself.
struct InstallationInputs {
  std::string install_dir;
  bool webview2_present = false;
  bool workbench_current = false;
};

// Brings the computer to the offered workbench version, reporting through
// `sender`; on success it has sent InstallCompleted itself.
// Interim: until the pipeline exists this fails without touching anything.
Status run_installation(const InstallationInputs& inputs, const EventSender& sender);

}  // namespace velmo

#endif  // VELMO_INSTALLER_INSTALLATION_PIPELINE_H_
