#ifndef VELMO_UI_BADGE_INTRO_H_
#define VELMO_UI_BADGE_INTRO_H_

#include <cstdint>
#include <vector>

#include "ui/rect.h"
#include "ui/rgb.h"

namespace velmo {

// The name badge's intro: after a check ends, the badge glows up and a sheen
// sweeps across it. Both follow `intro_tick` (0..34 while it runs).

inline constexpr uint32_t kIntroLastTick = 34;
inline constexpr uint32_t kSheenTicks = 30;

// Where the sheen bitmap sits: one pixel inside the badge's border.
inline constexpr int kSheenLeft = 291;
inline constexpr int kSheenTop = 6;
inline constexpr int kSheenWidth = 138;
inline constexpr int kSheenHeight = 22;
inline constexpr Rect kSheenClip{291, 6, 430, 29};
inline constexpr int kSheenClipCorner = 4;

struct BadgeColours {
  Rgb fill;
  Rgb border;
};

// The glow strength g (0..1) at this tick; 0 when idle.
double badge_glow(uint32_t intro_tick);

// The badge's fill and border at this tick (the idle colours when idle).
BadgeColours badge_colours(uint32_t intro_tick);

bool sheen_visible(uint32_t intro_tick);

// The sheen's pixels (kSheenWidth x kSheenHeight, top-down, blue, green, red,
// 0) over the badge fill `base`. Only meaningful while sheen_visible().
std::vector<uint8_t> sheen_pixels(uint32_t intro_tick, Rgb base);

}  // namespace velmo

#endif  // VELMO_UI_BADGE_INTRO_H_
