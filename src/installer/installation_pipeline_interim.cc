#include "installer/installation_pipeline.h"

namespace velmo {

Status run_installation(const InstallationInputs& /*inputs*/, const EventSender& /*sender*/) {
  return fail("此版本尚未接入安装流程，未对电脑做任何更改。");
}

}  // namespace velmo
