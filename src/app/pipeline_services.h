#ifndef VELMO_APP_PIPELINE_SERVICES_H_
#define VELMO_APP_PIPELINE_SERVICES_H_

#include "app/installation_pipeline.h"
#include "product_install/main_program_install.h"

namespace velmo {

// The installation run's real steps: the download directory and the
// system's HTTP stack, the carried bootstrapper, registry and file
// detection of the runtime, the system clock, and the workbench install with
// `install` (the in-use gate and the launcher source).
PipelineServices pipeline_services(InstallServices install);

// The same with the running assistant as the launcher source.
PipelineServices default_pipeline_services();

// The installation run with the real program's services.
Status run_installation(const InstallationInputs& inputs, const EventSink& events);

}  // namespace velmo

#endif  // VELMO_APP_PIPELINE_SERVICES_H_
