#ifndef VELMO_PRODUCT_INSTALL_AUTOMATIC_RECOVERY_H_
#define VELMO_PRODUCT_INSTALL_AUTOMATIC_RECOVERY_H_

#include <optional>
#include <string>

#include "product_install/in_use_check.h"
#include "product_install/interrupted_update_recovery.h"

namespace velmo {

// Puts back what an interrupted update left, before the assistant rates or
// starts the installation, so that a user is not left with a refusal they
// cannot get out of alone. Runs recover_interrupted_update only when
//   - the download directory and its verified program copies could be made
//     ours (they tell an old program from a new one), and
//   - the install directory already is one only administrators change
//     (leftovers another account could have placed are never restored;
//     the install step protects or refuses such a directory), and
//   - nothing runs the main program (a program in use is never moved).
// Nothing when it did not run; otherwise its outcome, which changes nothing
// when there is nothing to recover or no pair can be proven.
std::optional<RecoveryOutcome> recover_before_use(const std::string& install_dir,
                                                  RestartManager& rm = system_restart_manager());

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_AUTOMATIC_RECOVERY_H_
