#include "ui/hover_animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

namespace velmo {
namespace {

constexpr uint8_t kClose = 0;
constexpr uint8_t kSecondary = 2;
constexpr uint8_t kPrimary = 3;
constexpr uint8_t kNone = 4;

HoverLevels levels_of(std::array<float, 4> values) {
  HoverLevels levels;
  levels.level = values;
  return levels;
}

// One step as described: +0.14 towards 1 for the hovered button, -0.14
// towards 0 for the others.
std::array<float, 4> expected_step(std::array<float, 4> values, uint8_t hovered) {
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] =
        i == hovered ? std::min(1.0f, values[i] + 0.14f) : std::max(0.0f, values[i] - 0.14f);
  }
  return values;
}

struct FadeCase {
  const char* name;
  std::array<float, 4> start;
  uint8_t hovered;
};

class HoverFadeTest : public testing::TestWithParam<FadeCase> {};

// A full fade takes 8 steps: each repaints, the timer stops with the eighth,
// and a ninth step changes nothing.
TEST_P(HoverFadeTest, ArrivesInEightStepsThenStopsTheTimer) {
  const FadeCase& c = GetParam();
  HoverLevels levels = levels_of(c.start);
  std::array<float, 4> expected = c.start;
  for (int step = 1; step <= 8; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const HoverStepResult result = step_hover(levels, c.hovered);
    expected = expected_step(expected, c.hovered);
    EXPECT_EQ(levels.level, expected);
    EXPECT_TRUE(result.repaint);
    EXPECT_EQ(result.stop_timer, step == 8);
  }
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(levels.level[i], i == c.hovered ? 1.0f : 0.0f);
  }
  const HoverStepResult idle = step_hover(levels, c.hovered);
  EXPECT_FALSE(idle.repaint);
  EXPECT_TRUE(idle.stop_timer);
}

INSTANTIATE_TEST_SUITE_P(Fades,
                         HoverFadeTest,
                         testing::Values(FadeCase{"FadeIn", {0, 0, 0, 0}, kPrimary},
                                         FadeCase{"FadeOut", {0, 0, 0, 1}, kNone},
                                         FadeCase{"CrossFade", {0, 0, 1, 0}, kPrimary},
                                         FadeCase{"CloseFadesInToo", {0, 0, 0, 0}, kClose},
                                         FadeCase{"BusyFadesEverythingOut", {1, 0, 0, 0}, 0xFF}),
                         [](const auto& info) { return std::string(info.param.name); });

// Moving quickly between buttons fades both at once, one step each.
TEST(HoverStepTest, CrossFadeMovesBothButtonsInTheSameStep) {
  HoverLevels levels = levels_of({0, 0, 1, 0});
  step_hover(levels, kPrimary);
  EXPECT_FLOAT_EQ(levels.level[kSecondary], 1.0f - 0.14f);
  EXPECT_FLOAT_EQ(levels.level[kPrimary], 0.14f);
}

TEST(HoverStepTest, KeepsRunningWhileAnotherButtonIsStillFading) {
  HoverLevels levels = levels_of({0, 0.5f, 0, 1});
  const HoverStepResult result = step_hover(levels, kPrimary);
  EXPECT_TRUE(result.repaint);
  EXPECT_FALSE(result.stop_timer);
}

// A move below one float epsilon is no reason to repaint, but the level
// still lands on its target and the timer stops.
TEST(HoverStepTest, ChangeBelowTheThresholdDoesNotRepaint) {
  HoverLevels levels = levels_of({0, 0, 0, 0.99999994f});
  const HoverStepResult result = step_hover(levels, kPrimary);
  EXPECT_EQ(levels.level[kPrimary], 1.0f);
  EXPECT_FALSE(result.repaint);
  EXPECT_TRUE(result.stop_timer);
}

TEST(HoverStepTest, SmallestVisibleChangeRepaints) {
  HoverLevels levels = levels_of({0, 0, 0, 0.9999998f});
  EXPECT_TRUE(step_hover(levels, kPrimary).repaint);
}

TEST(SetHoveredTest, OnlyAChangeRestartsTheTimer) {
  HoverState state;
  EXPECT_EQ(state.hovered, kNone);
  EXPECT_FALSE(set_hovered(state, kNone));
  EXPECT_TRUE(set_hovered(state, kSecondary));
  EXPECT_EQ(state.hovered, kSecondary);
  EXPECT_FALSE(set_hovered(state, kSecondary));
  EXPECT_TRUE(set_hovered(state, 0xFF));
  EXPECT_EQ(state.hovered, 0xFF);
}

}  // namespace
}  // namespace velmo
