#ifndef VELMO_UI_IMAGE_ID_H_
#define VELMO_UI_IMAGE_ID_H_

#include "ui/icon_state.h"

namespace velmo {

// Which embedded image a drawing step shows. The layouts name the image; the
// painter asks its image source for the decoded pixels, so the layouts never
// wait for a decode and the painter never knows where images come from.
enum class ImageId {
  kIconOk,
  kIconPending,
  kIconMissing,
  kStartupEmblem,
};

constexpr ImageId status_icon_image(IconState state) {
  switch (state) {
    case IconState::kOk:
      return ImageId::kIconOk;
    case IconState::kPending:
      return ImageId::kIconPending;
    case IconState::kMissing:
      return ImageId::kIconMissing;
  }
  return ImageId::kIconMissing;
}

}  // namespace velmo

#endif  // VELMO_UI_IMAGE_ID_H_
