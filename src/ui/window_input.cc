#include "ui/window_input.h"

#include "ui/main_layout.h"
#include "ui/rect.h"

namespace velmo {

namespace {

constexpr uint8_t hit_id(HoverButton button) {
  return static_cast<uint8_t>(button);
}

}  // namespace

uint8_t hit_test(bool busy, bool primary_active, int x, int y) {
  if (busy) {
    return kHitBusy;
  }
  if (contains_inclusive(kCloseButtonRect, x, y)) {
    return hit_id(HoverButton::kClose);
  }
  if (contains_inclusive(kChooseDirectoryRect, x, y)) {
    return hit_id(HoverButton::kChooseDirectory);
  }
  if (contains_inclusive(kSecondaryButtonRect, x, y)) {
    return hit_id(HoverButton::kSecondary);
  }
  if (primary_active && contains_inclusive(kPrimaryButtonRect, x, y)) {
    return hit_id(HoverButton::kPrimary);
  }
  return kHitNone;
}

std::optional<HoverButton> click_target(int x, int y) {
  if (contains_inclusive(kCloseButtonRect, x, y)) {
    return HoverButton::kClose;
  }
  if (contains_inclusive(kChooseDirectoryRect, x, y)) {
    return HoverButton::kChooseDirectory;
  }
  if (contains_inclusive(kSecondaryButtonRect, x, y)) {
    return HoverButton::kSecondary;
  }
  if (contains_inclusive(kPrimaryButtonRect, x, y)) {
    return HoverButton::kPrimary;
  }
  return std::nullopt;
}

bool is_title_bar_drag(int x, int y) {
  return x < 680 && y < 34;
}

CursorShape cursor_for(uint8_t hit) {
  const bool acts_in_place = hit == hit_id(HoverButton::kChooseDirectory) ||
                             hit == hit_id(HoverButton::kSecondary) ||
                             hit == hit_id(HoverButton::kPrimary);
  return acts_in_place ? CursorShape::kHand : CursorShape::kArrow;
}

}  // namespace velmo
