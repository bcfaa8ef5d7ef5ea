#ifndef VELMO_NETWORK_TRICKLE_WATCH_H_
#define VELMO_NETWORK_TRICKLE_WATCH_H_

#include <cstdint>

#include "network/downloader.h"

namespace velmo {

// Tells a transfer that still moves from one that only pretends to: every
// window of kTrickleWindow must bring kTrickleMinimumBytes. A server sending
// one byte a second keeps each read short of the receive time-out forever.
class TrickleWatch {
 public:
  explicit TrickleWatch(const SteadyNow& now) : now_(now), window_start_(now()) {}

  // Counts `bytes` just received; false once a whole window passed with
  // fewer than the minimum.
  bool keeps_pace(uint64_t bytes) {
    window_bytes_ += bytes;
    const auto moment = now_();
    if (window_bytes_ >= kTrickleMinimumBytes) {
      window_start_ = moment;
      window_bytes_ = 0;
      return true;
    }
    return moment - window_start_ < kTrickleWindow;
  }

 private:
  const SteadyNow& now_;
  std::chrono::steady_clock::time_point window_start_;
  uint64_t window_bytes_ = 0;
};

}  // namespace velmo

#endif  // VELMO_NETWORK_TRICKLE_WATCH_H_
