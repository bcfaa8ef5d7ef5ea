#ifndef VELMO_INSTALLER_BOOTSTRAP_POLICY_H_
#define VELMO_INSTALLER_BOOTSTRAP_POLICY_H_

#include "installer/release_store.h"
#include "platform/result.h"

namespace velmo {

// Asks the vendor's policy endpoint which workbench release is current and
// validates the answer. Interim: until the policy client exists this fails
// with the message the user sees when the service cannot be reached.
Result<VerifiedRelease> fetch_bootstrap_policy();

}  // namespace velmo

#endif  // VELMO_INSTALLER_BOOTSTRAP_POLICY_H_
