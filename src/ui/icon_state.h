#ifndef VELMO_UI_ICON_STATE_H_
#define VELMO_UI_ICON_STATE_H_

namespace velmo {

// What a component row's icon says; the screen logic decides it, the images
// draw it.
enum class IconState {
  kOk,       // present or not needed
  kPending,  // checking, in progress, or downloaded and waiting
  kMissing,  // missing or unsupported
};

}  // namespace velmo

#endif  // VELMO_UI_ICON_STATE_H_
