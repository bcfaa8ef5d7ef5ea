#include "ui/embedded_png.h"

// Defined by the generated assembly file that .incbin's the images
// (cmake/EmbeddedImages.cmake).
extern "C" const uint8_t velmo_status_icon_ok_begin[];
extern "C" const uint8_t velmo_status_icon_ok_end[];
extern "C" const uint8_t velmo_status_icon_pending_begin[];
extern "C" const uint8_t velmo_status_icon_pending_end[];
extern "C" const uint8_t velmo_status_icon_missing_begin[];
extern "C" const uint8_t velmo_status_icon_missing_end[];
extern "C" const uint8_t velmo_startup_emblem_begin[];
extern "C" const uint8_t velmo_startup_emblem_end[];

namespace velmo {
namespace {

std::span<const uint8_t> between(const uint8_t* begin, const uint8_t* end) {
  return std::span<const uint8_t>(begin, static_cast<size_t>(end - begin));
}

}  // namespace

std::span<const uint8_t> status_icon_png(IconState state) {
  switch (state) {
    case IconState::kOk:
      return between(velmo_status_icon_ok_begin, velmo_status_icon_ok_end);
    case IconState::kPending:
      return between(velmo_status_icon_pending_begin, velmo_status_icon_pending_end);
    case IconState::kMissing:
      return between(velmo_status_icon_missing_begin, velmo_status_icon_missing_end);
  }
  return between(velmo_status_icon_missing_begin, velmo_status_icon_missing_end);
}

std::span<const uint8_t> startup_emblem_png() {
  return between(velmo_startup_emblem_begin, velmo_startup_emblem_end);
}

}  // namespace velmo
