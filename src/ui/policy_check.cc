#include "ui/policy_check.h"

#include <utility>

namespace velmo {

void start_policy_check(UiState& state, ReceiverSlot& slot, PolicyFetcher fetch) {
  start_policy_worker(slot, std::move(fetch));
  state.policy_ready = false;
}

}  // namespace velmo
