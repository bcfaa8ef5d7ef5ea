#ifndef VELMO_APP_RECEIVER_SLOT_H_
#define VELMO_APP_RECEIVER_SLOT_H_

#include <mutex>
#include <optional>
#include <vector>

#include "app/progress_queue.h"

namespace velmo {

// The window's slot for the receiving end of the current worker run. Parking
// a new receiver replaces (and so closes) the previous run's queue. The lock
// is held only while a receiver or the waiting events move in or out.
class ReceiverSlot {
 public:
  void park(EventReceiver receiver);

  // Every event waiting at this moment, in arrival order; empty when the slot
  // is empty.
  std::vector<WorkerEvent> take_waiting();

  // Empties the slot after a terminal event: nothing more is received from
  // that run.
  void drop();

  bool has_receiver() const;

 private:
  mutable std::mutex mutex_;
  std::optional<EventReceiver> receiver_;
};

// The one process-wide slot the window drains.
ReceiverSlot& receiver_slot();

}  // namespace velmo

#endif  // VELMO_APP_RECEIVER_SLOT_H_
