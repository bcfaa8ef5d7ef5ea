#include "ui/window_input.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo {
namespace {

struct HitCase {
  const char* name;
  bool busy;
  bool primary_active;
  int x;
  int y;
  uint8_t expected;  // 0..3 a button, 4 none, 0xFF busy
};

constexpr uint8_t kNone = 4;
constexpr uint8_t kBusy = 0xFF;

// Bounds are inclusive: the right and bottom edges belong to the button.
const HitCase kHitCases[] = {
    {"CloseTopLeft", false, true, 680, 0, 0},
    {"CloseBottomRight", false, true, 720, 34, 0},
    {"LeftOfCloseIsTitleBar", false, true, 679, 10, kNone},
    {"BelowClose", false, true, 700, 35, kNone},
    {"ChooseDirectoryTopLeft", false, true, 578, 163, 1},
    {"ChooseDirectoryBottomRight", false, true, 668, 195, 1},
    {"LeftOfChooseDirectoryIsThePathBox", false, true, 577, 170, kNone},
    {"BelowChooseDirectory", false, true, 600, 196, kNone},
    {"SecondaryTopLeft", false, true, 468, 536, 2},
    {"SecondaryBottomRight", false, true, 566, 572, 2},
    {"GapBetweenTheButtons", false, true, 567, 550, kNone},
    {"BelowSecondary", false, true, 500, 573, kNone},
    {"PrimaryTopLeft", false, true, 578, 536, 3},
    {"PrimaryBottomRight", false, true, 690, 572, 3},
    {"RightOfPrimary", false, true, 691, 550, kNone},
    {"InactivePrimaryIsNotHit", false, false, 600, 550, kNone},
    {"InactivePrimaryLeavesSecondary", false, false, 500, 550, 2},
    {"EmptyCard", false, true, 300, 300, kNone},
    {"BusyOverClose", true, false, 700, 10, kBusy},
    {"BusyOverChooseDirectory", true, false, 600, 170, kBusy},
    {"BusyOverSecondary", true, false, 500, 550, kBusy},
    {"BusyOverActivePrimary", true, true, 600, 550, kBusy},
    {"BusyOverNothing", true, false, 300, 300, kBusy},
};

class HitTestTest : public testing::TestWithParam<HitCase> {};

TEST_P(HitTestTest, FindsTheButtonUnderThePoint) {
  const HitCase& c = GetParam();
  EXPECT_EQ(int{hit_test(c.busy, c.primary_active, c.x, c.y)}, int{c.expected});
}

INSTANTIATE_TEST_SUITE_P(Table, HitTestTest, testing::ValuesIn(kHitCases), [](const auto& info) {
  return std::string(info.param.name);
});

TEST(HitTestTest, BusyIsNeitherAButtonNorPlainNone) {
  EXPECT_TRUE(kHitBusy == 0xFE || kHitBusy == 0xFF);
  EXPECT_EQ(kHitNone, 4);
}

struct ClickCase {
  const char* name;
  int x;
  int y;
  std::optional<HoverButton> expected;
};

// The primary region is checked without asking whether the button is active.
const ClickCase kClickCases[] = {
    {"Close", 690, 10, HoverButton::kClose},
    {"CloseCorner", 720, 34, HoverButton::kClose},
    {"ChooseDirectory", 600, 180, HoverButton::kChooseDirectory},
    {"Secondary", 468, 572, HoverButton::kSecondary},
    {"Primary", 690, 536, HoverButton::kPrimary},
    {"Gap", 567, 550, std::nullopt},
    {"TitleBar", 300, 10, std::nullopt},
    {"PathBox", 300, 180, std::nullopt},
};

class ClickTargetTest : public testing::TestWithParam<ClickCase> {};

TEST_P(ClickTargetTest, FindsTheClickedButton) {
  const ClickCase& c = GetParam();
  EXPECT_EQ(click_target(c.x, c.y), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ClickTargetTest,
                         testing::ValuesIn(kClickCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct DragCase {
  int x;
  int y;
  bool drags;
};

TEST(TitleBarDragTest, DragsLeftOfTheCloseStripOnly) {
  const DragCase cases[] = {
      {0, 0, true},    {679, 33, true},  {300, 15, true},  // over the name badge too
      {680, 0, false}, {700, 20, false}, {0, 34, false},  {400, 300, false},
  };
  for (const DragCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    EXPECT_EQ(is_title_bar_drag(c.x, c.y), c.drags);
  }
}

TEST(CursorTest, HandOnlyOverButtonsOneToThree) {
  struct CursorCase {
    uint8_t hit;
    CursorShape shape;
  };
  const CursorCase cases[] = {
      {0, CursorShape::kArrow},    {1, CursorShape::kHand},  {2, CursorShape::kHand},
      {3, CursorShape::kHand},     {4, CursorShape::kArrow}, {0xFE, CursorShape::kArrow},
      {0xFF, CursorShape::kArrow},
  };
  for (const CursorCase& c : cases) {
    SCOPED_TRACE(int{c.hit});
    EXPECT_EQ(cursor_for(c.hit), c.shape);
  }
}

// On a busy screen the pointer over any button keeps the arrow.
TEST(CursorTest, BusyWindowKeepsTheArrowOverEveryButton) {
  for (auto [x, y] : {std::pair{700, 10}, {600, 170}, {500, 550}, {600, 550}}) {
    EXPECT_EQ(cursor_for(hit_test(true, true, x, y)), CursorShape::kArrow);
  }
}

}  // namespace
}  // namespace velmo
