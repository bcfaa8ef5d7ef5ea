#ifndef VELMO_APP_EVENT_SINK_H_
#define VELMO_APP_EVENT_SINK_H_

#include "app/worker_event.h"

namespace velmo {

// Where a run reports its events. The window's progress queue is one sink;
// the pipeline sees only this, so it neither knows nor depends on how the
// events travel or who reads them.
class EventSink {
 public:
  virtual ~EventSink() = default;

  // Never blocks and never fails the run.
  virtual void send(WorkerEvent event) const = 0;
};

}  // namespace velmo

#endif  // VELMO_APP_EVENT_SINK_H_
