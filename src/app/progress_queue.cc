#include "app/progress_queue.h"

#include <deque>
#include <mutex>
#include <utility>

namespace velmo {

struct ProgressQueueState {
  std::mutex mutex;
  std::deque<WorkerEvent> events;
  bool receiver_alive = true;
};

EventSender::EventSender(std::shared_ptr<ProgressQueueState> state) : state_(std::move(state)) {}

void EventSender::send(WorkerEvent event) const {
  std::lock_guard lock(state_->mutex);
  if (state_->receiver_alive) {
    state_->events.push_back(std::move(event));
  }
}

bool EventSender::receiver_alive() const {
  std::lock_guard lock(state_->mutex);
  return state_->receiver_alive;
}

EventReceiver::EventReceiver(std::shared_ptr<ProgressQueueState> state)
    : state_(std::move(state)) {}

EventReceiver::~EventReceiver() {
  close();
}

EventReceiver& EventReceiver::operator=(EventReceiver&& other) noexcept {
  if (this != &other) {
    close();
    state_ = std::move(other.state_);
  }
  return *this;
}

std::optional<WorkerEvent> EventReceiver::try_receive() {
  if (!state_) {
    return std::nullopt;
  }
  std::lock_guard lock(state_->mutex);
  if (state_->events.empty()) {
    return std::nullopt;
  }
  WorkerEvent event = std::move(state_->events.front());
  state_->events.pop_front();
  return event;
}

void EventReceiver::close() {
  if (!state_) {
    return;
  }
  // Release the waiting events outside the lock; a moved-from receiver has no
  // state and closes nothing.
  std::deque<WorkerEvent> dropped;
  {
    std::lock_guard lock(state_->mutex);
    state_->receiver_alive = false;
    dropped.swap(state_->events);
  }
  state_.reset();
}

ProgressChannel open_progress_queue() {
  auto state = std::make_shared<ProgressQueueState>();
  return ProgressChannel{EventSender(state), EventReceiver(state)};
}

}  // namespace velmo
