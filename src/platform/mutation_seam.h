#ifndef VELMO_PLATFORM_MUTATION_SEAM_H_
#define VELMO_PLATFORM_MUTATION_SEAM_H_

#include <optional>
#include <string>

#include "platform/os_error.h"

namespace velmo {

// Every change the platform layer makes to the file system.
enum class Mutation {
  kCreateDirectory,
  kCreateFile,  // a new or emptied file, or one opened for writing
  kWrite,       // bytes written to an open file (path not known: "")
  kFlush,       // an open file pushed to the disk (path not known: "")
  kRename,      // path is the source
  kRemoveFile,
  kRemoveDirectory,
  kCopyFile,  // path is the target
  kSetAttributes,
  kSetSecurity,  // an object's owner and access list replaced
};

// Tests prove that an interrupted or failing install leaves every file
// recoverable by failing, or stopping the process at, each change in turn.
// The hook is asked before each change; an error makes the change fail with
// that error, without making it. Nothing in the program sets it.
using MutationHook = std::optional<OsError> (*)(Mutation kind, const std::string& path);

// Installs the hook (nullptr removes it) and returns the one it replaces.
// Tests set it before the code under test runs; prefer ScopedMutationHook.
MutationHook set_mutation_hook_for_testing(MutationHook hook);

// Installs a hook for one scope and puts the previous one back when the
// scope ends, however it ends: a failed assertion cannot leave the hook set
// for the tests after it.
class ScopedMutationHook {
 public:
  explicit ScopedMutationHook(MutationHook hook) : previous_(set_mutation_hook_for_testing(hook)) {}
  ~ScopedMutationHook() { set_mutation_hook_for_testing(previous_); }
  ScopedMutationHook(const ScopedMutationHook&) = delete;
  ScopedMutationHook& operator=(const ScopedMutationHook&) = delete;

 private:
  MutationHook previous_;
};

// Asked by the backends before each change.
std::optional<OsError> mutation_fault(Mutation kind, const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_MUTATION_SEAM_H_
