#ifndef VELMO_PRODUCT_INSTALL_INTERRUPTED_UPDATE_RECOVERY_H_
#define VELMO_PRODUCT_INSTALL_INTERRUPTED_UPDATE_RECOVERY_H_

#include <string>
#include <vector>

#include "platform/result.h"

namespace velmo {

// One rename the recovery made. `item` names what moved: "program",
// "manifest", "programBackup", "manifestBackup", "partialProgram",
// "commandLibrary", "commandLibraryBackup", "launcher", "launcherBackup",
// "launcherPart".
struct RecoveryAction {
  enum class Kind {
    kRestored,  // a backup moved back under the name it was taken from
    kSetAside,  // a leftover moved to a recovery name beside it, not deleted
  };
  Kind kind;
  std::string item;
  std::string from;
  std::string to;

  bool operator==(const RecoveryAction&) const = default;
};

struct RecoveryOutcome {
  // Every rename made, in order, also when a later step then failed.
  std::vector<RecoveryAction> actions;
  // Success: the directory holds a recognised installation and none of the
  // names an update refuses to go on beside. Otherwise the reason.
  Status status;
  // The installation's version at the end (on success).
  std::string version;
};

// Gets an install directory out of whatever an interrupted update left in
// it: puts back an installation whose program and manifest belong together
// (see the .cc for what proves that), sets every other leftover of the
// update aside under a recovery name, and changes nothing in a directory
// that is already a recognised installation without leftovers. When no
// program can be proven it changes nothing and fails. `download_directory`
// holds the verified program copies an update installs from; they tell a
// new program from an old one where the names alone cannot.
RecoveryOutcome recover_interrupted_update(const std::string& install_dir,
                                           const std::string& download_directory);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_INTERRUPTED_UPDATE_RECOVERY_H_
