#include "ui/badge_intro.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "draw_list_probe.h"
#include "ui/main_layout.h"

namespace velmo {
namespace {

using test::expected_colour;
using test::only_step;

// The glow strength, written from the intro's description.
double expected_glow(uint32_t tick) {
  const double t = tick / 34.0;
  double g = 0;
  if (t <= 0.18) {
    g = t / 0.18;
  } else if (t <= 0.52) {
    g = 1 - 0.45 * (t - 0.18) / 0.34;
  } else {
    g = 0.55 * (1 - (t - 0.52) / 0.48);
  }
  return std::fmax(0.0, std::fmin(1.0, g));
}

struct ExpectedBadge {
  Rgb fill;
  Rgb border;
};

ExpectedBadge expected_badge(double g) {
  const double k = std::fmin(1.0, 0.55 * g);
  const double m = std::fmin(1.0, 0.86 * g);
  return {expected_colour(51 - 7 * k, 54 + 2 * k, 60 + 4 * k),
          expected_colour(79 + 44 * m, 96 + 88 * m, 110 + 101 * m)};
}

struct GlowCase {
  const char* name;
  uint32_t tick;
};

class BadgeGlowTest : public testing::TestWithParam<GlowCase> {};

TEST_P(BadgeGlowTest, LayoutPaintsTheBadgeWithTheGlowOfItsTick) {
  const GlowCase& c = GetParam();
  const ExpectedBadge expected = expected_badge(expected_glow(c.tick));
  MainView view;
  view.intro_tick = c.tick;
  const DrawList list = layout_main_window(view, HoverLevels{});
  const RoundedBoxStep* badge = only_step<RoundedBoxStep>(list, MainElement::kNameBadge);
  ASSERT_NE(badge, nullptr);
  EXPECT_EQ(badge->fill, expected.fill);
  EXPECT_EQ(badge->border, expected.border);
  EXPECT_EQ(badge->corner, 6);
}

INSTANTIATE_TEST_SUITE_P(Ticks,
                         BadgeGlowTest,
                         testing::Values(GlowCase{"Start", 0},
                                         GlowCase{"RisingEarly", 3},
                                         GlowCase{"RisingLast", 6},
                                         GlowCase{"FadingMid", 12},
                                         GlowCase{"FadingEnd", 17},
                                         GlowCase{"AfterglowEarly", 18},
                                         GlowCase{"AfterglowLate", 30},
                                         GlowCase{"LastTick", 34}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BadgeGlowTest, GlowPeaksEarlyAndIsGoneWhenIdle) {
  EXPECT_GT(badge_glow(6), badge_glow(3));
  EXPECT_GT(badge_glow(6), badge_glow(12));
  EXPECT_GT(badge_glow(12), badge_glow(30));
  EXPECT_EQ(badge_glow(0xFFFFFFFF), 0.0);
  EXPECT_EQ(badge_glow(35), 0.0);
}

// Idle, the badge has its resting colours (#33363C, #4F606E).
TEST(BadgeGlowTest, IdleBadgeHasItsRestingColours) {
  for (uint32_t tick : {0xFFFFFFFFu, 35u, 1000u}) {
    SCOPED_TRACE(tick);
    const BadgeColours colours = badge_colours(tick);
    EXPECT_EQ(colours.fill, rgb_hex(0x33363C));
    EXPECT_EQ(colours.border, rgb_hex(0x4F606E));
  }
}

// The sheen pixel at column c, row r, written from the sheen's description.
Rgb expected_sheen_pixel(uint32_t tick, Rgb base, int c, int r) {
  const double p = tick / 29.0;
  const int sweep = static_cast<int>(std::trunc((1 - (1 - p) * (1 - p)) * 315));
  double a = 1;
  if (p <= 0.12) {
    a = p / 0.12;
  } else if (p > 0.72) {
    a = (1 - p) / 0.28;
  }
  a = std::fmax(0.0, std::fmin(1.0, a));
  const int x = 291 + c;
  const double u = std::fmax(0.0, std::fmin(1.0, ((x - (sweep + 157)) - (r - 10.5) * 0.36) / 100));
  double b = 0;
  if (u <= 0.18) {
    b = 0.06 * u / 0.18;
  } else if (u <= 0.42) {
    b = 0.06 + 0.16 * (u - 0.18) / 0.24;
  } else if (u <= 0.52) {
    b = 0.22 + 0.5 * (u - 0.42) / 0.1;
  } else if (u <= 0.62) {
    b = 0.72 - 0.46 * (u - 0.52) / 0.1;
  } else if (u <= 0.84) {
    b = 0.26 - 0.2 * (u - 0.62) / 0.22;
  } else {
    b = 0.06 * (1 - (u - 0.84) / 0.16);
  }
  b = std::fmax(0.0, std::fmin(1.0, b)) * a;
  const double w = std::fmax(0.0, std::fmin(1.0, 1 - std::fabs(u - 0.52) / 0.16));
  return expected_colour(base.r + (124 + 115 * w - base.r) * b,
                         base.g + (184 + 67 * w - base.g) * b,
                         base.b + (210 + 45 * w - base.b) * b);
}

Rgb pixel_at(const std::vector<uint8_t>& bgr0, int c, int r) {
  const size_t at = (static_cast<size_t>(r) * 138 + c) * 4;
  EXPECT_EQ(bgr0[at + 3], 0) << "the fourth byte of a pixel is always 0";
  return Rgb{bgr0[at + 2], bgr0[at + 1], bgr0[at]};
}

struct SheenCase {
  const char* name;
  uint32_t tick;
};

class BadgeSheenTest : public testing::TestWithParam<SheenCase> {};

// The layout's sheen bitmap matches the formula at sample pixels, over the
// badge fill of the same tick: the corners, the band's bright core (column 17 at
// tick 5, column 97 at tick 10) and its edges.
TEST_P(BadgeSheenTest, PixelsFollowTheSweepOverTheBadgeFill) {
  const SheenCase& c = GetParam();
  MainView view;
  view.intro_tick = c.tick;
  const DrawList list = layout_main_window(view, HoverLevels{});
  const BitmapStep* sheen = only_step<BitmapStep>(list, MainElement::kBadgeSheen);
  ASSERT_NE(sheen, nullptr);
  ASSERT_EQ(sheen->bgr0.size(), 138u * 22u * 4u);
  const Rgb base = expected_badge(expected_glow(c.tick)).fill;
  const std::pair<int, int> samples[] = {{0, 0},   {137, 21}, {17, 10},  {16, 11}, {60, 5},
                                         {97, 10}, {96, 12},  {110, 16}, {20, 21}, {137, 0}};
  for (const auto& [column, row] : samples) {
    SCOPED_TRACE("c=" + std::to_string(column) + " r=" + std::to_string(row));
    EXPECT_EQ(pixel_at(sheen->bgr0, column, row), expected_sheen_pixel(c.tick, base, column, row));
  }
}

INSTANTIATE_TEST_SUITE_P(Ticks,
                         BadgeSheenTest,
                         testing::Values(SheenCase{"FadingIn", 2},
                                         SheenCase{"BandEntering", 4},
                                         SheenCase{"BandCrossing", 5},
                                         SheenCase{"BandLeaving", 10},
                                         SheenCase{"BandGone", 20},
                                         SheenCase{"FadedOut", 29}),
                         [](const auto& info) { return std::string(info.param.name); });

// At tick 5 the band's core is in the badge: the brightest sample is far
// from the fill, so a sheen that forgot to blend would show here.
TEST(BadgeSheenTest, BandCoreIsBrightAtTickFive) {
  const Rgb base = badge_colours(5).fill;
  const std::vector<uint8_t> pixels = sheen_pixels(5, base);
  const Rgb core = pixel_at(pixels, 17, 10);
  EXPECT_GT(core.r, base.r + 60);
  EXPECT_GT(core.b, base.b + 60);
}

TEST(BadgeSheenTest, DrawnOnlyDuringTheFirstThirtyTicks) {
  for (uint32_t tick : {0u, 29u, 30u, 34u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(tick);
    MainView view;
    view.intro_tick = tick;
    const bool drawn = only_step<BitmapStep>(layout_main_window(view, HoverLevels{}),
                                             MainElement::kBadgeSheen) != nullptr;
    EXPECT_EQ(drawn, tick < 30);
  }
}

}  // namespace
}  // namespace velmo
