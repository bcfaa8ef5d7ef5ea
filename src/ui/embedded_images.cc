#include "ui/embedded_images.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "ui/embedded_png.h"
#include "ui/image_decoding.h"

namespace velmo {
namespace {

// One image's process-wide slot: written once under the flag, read only
// afterwards.
struct ImageCell {
  std::once_flag once;
  std::optional<DecodedImage> image;
};

using Decoder = Result<DecodedImage> (*)(std::span<const uint8_t>);

[[noreturn]] void stop_for_broken_image(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  std::abort();
}

const DecodedImage& decode_once(ImageCell& cell, std::span<const uint8_t> png, Decoder decode) {
  std::call_once(cell.once, [&] {
    Result<DecodedImage> decoded = decode(png);
    if (!decoded) {
      stop_for_broken_image(decoded.error());
    }
    cell.image = std::move(*decoded);
  });
  return *cell.image;
}

ImageCell& status_icon_cell(IconState state) {
  static ImageCell ok;
  static ImageCell pending;
  static ImageCell missing;
  switch (state) {
    case IconState::kOk:
      return ok;
    case IconState::kPending:
      return pending;
    case IconState::kMissing:
      return missing;
  }
  return missing;
}

}  // namespace

const DecodedImage& status_icon(IconState state) {
  return decode_once(status_icon_cell(state), status_icon_png(state), decode_status_icon);
}

const DecodedImage& startup_emblem() {
  static ImageCell cell;
  return decode_once(cell, startup_emblem_png(), decode_startup_emblem);
}

}  // namespace velmo
