#ifndef VELMO_TESTS_UNIT_MUTATION_RECORDER_H_
#define VELMO_TESTS_UNIT_MUTATION_RECORDER_H_

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/mutation_seam.h"

namespace velmo::test {

// The platform layer's mutation hook for one scope: every change is
// recorded, chosen ones fail with an injected error, and a test may run its
// own action just before a chosen change (to damage a file the code is
// about to trust, say). One recorder at a time.
class ScopedMutationRecorder {
 public:
  static inline const OsError kInjected{5, "injected"};

  ScopedMutationRecorder() : previous_active_(active_), hook_(&ScopedMutationRecorder::hook) {
    active_ = this;
  }
  ~ScopedMutationRecorder() { active_ = previous_active_; }
  ScopedMutationRecorder(const ScopedMutationRecorder&) = delete;
  ScopedMutationRecorder& operator=(const ScopedMutationRecorder&) = delete;

  void fail(Mutation kind, std::string path) { failures_.emplace_back(kind, std::move(path)); }

  void before(Mutation kind, std::string path, std::function<void()> action) {
    actions_.push_back({kind, std::move(path), std::move(action)});
  }

  // The paths of the recorded changes of one kind, in order.
  std::vector<std::string> paths(Mutation kind) const {
    std::vector<std::string> found;
    for (const auto& [recorded, path] : changes_) {
      if (recorded == kind) {
        found.push_back(path);
      }
    }
    return found;
  }

 private:
  struct Action {
    Mutation kind;
    std::string path;
    std::function<void()> run;
  };

  static std::optional<OsError> hook(Mutation kind, const std::string& path) {
    return active_ == nullptr ? std::nullopt : active_->on_change(kind, path);
  }

  std::optional<OsError> on_change(Mutation kind, const std::string& path) {
    changes_.emplace_back(kind, path);
    for (const Action& action : actions_) {
      if (action.kind == kind && action.path == path) {
        action.run();
      }
    }
    for (const auto& [failing, failing_path] : failures_) {
      if (failing == kind && failing_path == path) {
        return kInjected;
      }
    }
    return std::nullopt;
  }

  static inline ScopedMutationRecorder* active_ = nullptr;
  ScopedMutationRecorder* previous_active_;
  ScopedMutationHook hook_;
  std::vector<std::pair<Mutation, std::string>> changes_;
  std::vector<std::pair<Mutation, std::string>> failures_;
  std::vector<Action> actions_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_MUTATION_RECORDER_H_
