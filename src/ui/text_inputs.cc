#include "ui/text_inputs.h"

#include <chrono>

#include "ui/ui_state.h"

namespace velmo {

namespace {

uint64_t elapsed_seconds(const UiServices& services) {
  const std::optional<InstallStartTime::Instant> start = install_start_time().get();
  if (!start) {
    return 0;
  }
  const auto elapsed = services.now() - *start;
  // A clock that went backwards shows no time rather than a huge one.
  if (elapsed.count() < 0) {
    return 0;
  }
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
}

}  // namespace

TextInputs text_inputs(const UiServices& services) {
  TextInputs inputs;
  if (Result<VerifiedRelease> release = services.load_release(); release) {
    inputs.release = std::move(*release);
  }
  inputs.elapsed_seconds = elapsed_seconds(services);
  return inputs;
}

}  // namespace velmo
