#ifndef VELMO_UI_DIB_VIEW_H_
#define VELMO_UI_DIB_VIEW_H_

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmo {

// Pixels ready for StretchDIBits, borrowed: top-down rows of `width` pixels,
// 4 bytes each (blue, green, red, 0), no row padding.
struct DibView {
  int width = 0;
  int height = 0;
  std::span<const uint8_t> bgr0;

  bool complete() const {
    return width > 0 && height > 0 &&
           bgr0.size() >= static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  }
};

}  // namespace velmo

#endif  // VELMO_UI_DIB_VIEW_H_
