#ifndef VELMO_APP_PROGRESS_QUEUE_H_
#define VELMO_APP_PROGRESS_QUEUE_H_

#include <memory>
#include <optional>

#include "app/event_sink.h"
#include "app/worker_event.h"

namespace velmo {

struct ProgressQueueState;

// Sending end of a progress queue. Copies share the queue (many senders).
// A send never blocks and never fails the worker: once the receiving end is
// gone (window closed, newer run started) events are discarded.
class EventSender final : public EventSink {
 public:
  explicit EventSender(std::shared_ptr<ProgressQueueState> state);

  void send(WorkerEvent event) const override;

  // Whether somebody still listens; workers may use it to skip needless work
  // but never need to.
  bool receiver_alive() const;

 private:
  std::shared_ptr<ProgressQueueState> state_;
};

// Receiving end of a progress queue (one receiver, FIFO). Destroying it closes
// the queue: everything waiting and everything sent later is dropped.
class EventReceiver {
 public:
  explicit EventReceiver(std::shared_ptr<ProgressQueueState> state);
  ~EventReceiver();
  EventReceiver(EventReceiver&&) noexcept = default;
  EventReceiver& operator=(EventReceiver&& other) noexcept;
  EventReceiver(const EventReceiver&) = delete;
  EventReceiver& operator=(const EventReceiver&) = delete;

  // Non-blocking: the oldest waiting event, or nothing.
  std::optional<WorkerEvent> try_receive();

 private:
  void close();
  std::shared_ptr<ProgressQueueState> state_;
};

struct ProgressChannel {
  EventSender sender;
  EventReceiver receiver;
};

// A fresh unbounded queue for one worker run.
ProgressChannel open_progress_queue();

}  // namespace velmo

#endif  // VELMO_APP_PROGRESS_QUEUE_H_
