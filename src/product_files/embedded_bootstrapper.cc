#include "product_files/embedded_bootstrapper.h"

#include "product_files/webview2_bootstrapper_pin.h"

// Defined by the generated assembly file that .incbin's the bootstrapper.
extern "C" const uint8_t velmo_embedded_bootstrapper_begin[];
extern "C" const uint8_t velmo_embedded_bootstrapper_end[];

namespace velmo {

CarriedFile carried_webview2_bootstrapper() {
  const size_t size =
      static_cast<size_t>(velmo_embedded_bootstrapper_end - velmo_embedded_bootstrapper_begin);
  return CarriedFile{std::span<const uint8_t>(velmo_embedded_bootstrapper_begin, size),
                     kBootstrapperSha256};
}

}  // namespace velmo
