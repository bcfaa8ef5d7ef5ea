#include "platform/mutation_seam.h"

#include <atomic>

namespace velmo {

namespace {

std::atomic<MutationHook> g_mutation_hook{nullptr};

}  // namespace

MutationHook set_mutation_hook_for_testing(MutationHook hook) {
  return g_mutation_hook.exchange(hook);
}

std::optional<OsError> mutation_fault(Mutation kind, const std::string& path) {
  const MutationHook hook = g_mutation_hook.load();
  if (hook == nullptr) {
    return std::nullopt;
  }
  return hook(kind, path);
}

}  // namespace velmo
