#include "platform/recovery_path.h"

#include <chrono>

#include "platform/process.h"

namespace velmo {

namespace {

uint64_t utc_nanoseconds() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch);
  return nanoseconds.count() < 0 ? 0 : static_cast<uint64_t>(nanoseconds.count());
}

}  // namespace

std::string make_recovery_path(const std::string& path, std::string_view tag) {
  return path + ".recovery-" + std::string(tag) + "-" + std::to_string(current_process_id()) + "-" +
         std::to_string(utc_nanoseconds());
}

}  // namespace velmo
