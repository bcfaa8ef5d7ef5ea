#include "app/receiver_slot.h"

#include <utility>

namespace velmo {

void ReceiverSlot::park(EventReceiver receiver) {
  std::optional<EventReceiver> previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(receiver_, std::move(receiver));
  }
  // `previous` closes here, outside the lock.
}

std::vector<WorkerEvent> ReceiverSlot::take_waiting() {
  std::vector<WorkerEvent> events;
  // The queue's own lock is taken inside while the slot is held; senders
  // never touch the slot, so the two cannot be taken in the other order.
  std::lock_guard lock(mutex_);
  if (!receiver_) {
    return events;
  }
  while (auto event = receiver_->try_receive()) {
    events.push_back(std::move(*event));
  }
  return events;
}

void ReceiverSlot::drop() {
  std::optional<EventReceiver> previous;
  {
    std::lock_guard lock(mutex_);
    previous = std::exchange(receiver_, std::nullopt);
  }
}

bool ReceiverSlot::has_receiver() const {
  std::lock_guard lock(mutex_);
  return receiver_.has_value();
}

ReceiverSlot& receiver_slot() {
  static ReceiverSlot slot;
  return slot;
}

}  // namespace velmo
