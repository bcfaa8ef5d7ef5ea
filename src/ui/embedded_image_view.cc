#include "ui/embedded_image_view.h"

#include "ui/decoded_image.h"
#include "ui/embedded_images.h"

namespace velmo {

namespace {

const DecodedImage& decoded(ImageId image) {
  switch (image) {
    case ImageId::kIconOk:
      return status_icon(IconState::kOk);
    case ImageId::kIconPending:
      return status_icon(IconState::kPending);
    case ImageId::kIconMissing:
      return status_icon(IconState::kMissing);
    case ImageId::kStartupEmblem:
      return startup_emblem();
  }
  return status_icon(IconState::kMissing);
}

}  // namespace

DibView embedded_image_view(ImageId image) {
  const DecodedImage& source = decoded(image);
  return DibView{static_cast<int>(source.width), static_cast<int>(source.height), source.pixels};
}

}  // namespace velmo
