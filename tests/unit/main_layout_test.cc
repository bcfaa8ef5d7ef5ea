#include "ui/main_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "draw_list_probe.h"

namespace velmo {
namespace {

using test::expected_colour;
using test::expected_ease;
using test::only_step;
using test::ops_of;

// A calm, fully worded Ready screen: every text distinct, so a text landing
// in the wrong place shows.
MainView ready_view() {
  MainView view;
  view.header_text = "准备安装";
  view.version_chip = "目标版本  v2.3.4";
  view.title = "环境检测完成";
  view.description = "当前电脑未安装工作台，将下载缺少的组件后完成安装。";
  view.location_text = "D:\\VelmoQen工作台";
  const IconState icons[] = {IconState::kOk, IconState::kOk,      IconState::kOk,
                             IconState::kOk, IconState::kMissing, IconState::kPending};
  for (size_t i = 0; i < view.rows.size(); ++i) {
    view.rows[i] =
        ComponentRow{icons[i], "label " + std::to_string(i), "status " + std::to_string(i),
                     Rgb{200, static_cast<uint8_t>(10 * i), 7}};
  }
  view.status_line = "检测完成 · 发现 2 项需要安装";
  view.secondary_label = "重新检测";
  view.primary_label = "开始安装";
  view.primary_active = true;
  view.footnote = "只下载当前电脑缺少的组件；下载完成后会先校验文件，再开始安装。";
  view.progress = 100;
  return view;
}

MainView busy_view(bool installing) {
  MainView view = ready_view();
  view.busy = true;
  view.installing = installing;
  view.secondary_enabled = false;
  view.primary_active = false;
  view.close_enabled = false;
  view.choose_directory_enabled = false;
  return view;
}

HoverLevels all_hovered() {
  HoverLevels hover;
  hover.level.fill(1.0f);
  return hover;
}

enum class Kind { kFill, kBox, kText, kImage, kBitmap };

Kind kind_of(const DrawOp& op) {
  return static_cast<Kind>(op.shape.index());
}

Rect rect_of(const DrawOp& op) {
  if (const auto* step = std::get_if<FillStep>(&op.shape)) {
    return step->rect;
  }
  if (const auto* step = std::get_if<RoundedBoxStep>(&op.shape)) {
    return step->rect;
  }
  if (const auto* step = std::get_if<TextStep>(&op.shape)) {
    return step->rect;
  }
  if (const auto* step = std::get_if<ImageStep>(&op.shape)) {
    return {step->x, step->y, step->x + step->dest_width, step->y + step->dest_height};
  }
  const auto& bitmap = std::get<BitmapStep>(op.shape);
  return {bitmap.x, bitmap.y, bitmap.x + bitmap.width, bitmap.y + bitmap.height};
}

struct ExpectedOp {
  MainElement element;
  Kind kind;
  Rect rect;
};

// The painting order with every step's geometry, written from the window's
// table (the badge intro is idle and the bar full: no sheen, a full fill).
std::vector<ExpectedOp> expected_idle_ops() {
  using E = MainElement;
  std::vector<ExpectedOp> ops = {
      {E::kBackground, Kind::kFill, {0, 0, 720, 620}},
      {E::kTitleBar, Kind::kFill, {0, 0, 720, 34}},
      {E::kNameBadge, Kind::kBox, {290, 5, 430, 29}},
      {E::kBadgeText, Kind::kText, {298, 5, 422, 29}},
      {E::kCloseButton, Kind::kFill, {680, 0, 720, 34}},
      {E::kCloseButton, Kind::kText, {680, 0, 720, 34}},
      {E::kHeaderStrip, Kind::kFill, {0, 34, 720, 76}},
      {E::kHeaderStrip, Kind::kFill, {0, 75, 720, 76}},
      {E::kHeaderText, Kind::kText, {28, 34, 250, 76}},
      {E::kVersionChip, Kind::kBox, {566, 44, 692, 66}},
      {E::kVersionChip, Kind::kText, {566, 44, 692, 66}},
      {E::kTitle, Kind::kText, {30, 92, 690, 123}},
      {E::kDescription, Kind::kText, {30, 123, 690, 148}},
      {E::kLocationCard, Kind::kBox, {30, 154, 690, 204}},
      {E::kLocationLabel, Kind::kText, {52, 163, 140, 195}},
      {E::kPathBox, Kind::kBox, {142, 163, 566, 195}},
      {E::kPathText, Kind::kText, {154, 163, 554, 195}},
      {E::kChooseDirectoryButton, Kind::kBox, {578, 163, 668, 195}},
      {E::kChooseDirectoryButton, Kind::kText, {578, 163, 668, 195}},
      {E::kComponentsCard, Kind::kBox, {30, 212, 690, 496}},
      {E::kCardLabel, Kind::kText, {52, 222, 220, 250}},
      {E::kSeparator, Kind::kFill, {52, 253, 668, 254}},
  };
  for (int top : {258, 292, 326, 360, 394, 428}) {
    ops.push_back({E::kComponentRows, Kind::kImage, {58, top + 9, 76, top + 27}});
    ops.push_back({E::kComponentRows, Kind::kText, {94, top, 275, top + 36}});
    ops.push_back({E::kComponentRows, Kind::kText, {278, top, 658, top + 36}});
  }
  const std::vector<ExpectedOp> bottom = {
      {E::kProgressTrack, Kind::kBox, {52, 468, 668, 478}},
      {E::kProgressFill, Kind::kBox, {54, 470, 666, 476}},
      {E::kStatusLine, Kind::kText, {30, 504, 455, 530}},
      {E::kSecondaryButton, Kind::kBox, {468, 536, 566, 572}},
      {E::kSecondaryButton, Kind::kText, {468, 536, 566, 572}},
      {E::kPrimaryButton, Kind::kBox, {578, 536, 690, 572}},
      {E::kPrimaryButton, Kind::kText, {578, 536, 690, 572}},
      {E::kFootnote, Kind::kText, {30, 588, 690, 614}},
  };
  ops.insert(ops.end(), bottom.begin(), bottom.end());
  return ops;
}

TEST(MainLayoutTest, DrawsEveryElementInPaintingOrderWithItsGeometry) {
  // The numbers are the rows of the painting table: 1 to 26.
  EXPECT_EQ(static_cast<int>(MainElement::kBackground), 1);
  EXPECT_EQ(static_cast<int>(MainElement::kComponentRows), 20);
  EXPECT_EQ(static_cast<int>(MainElement::kFootnote), 26);
  const DrawList list = layout_main_window(ready_view(), HoverLevels{});
  const std::vector<ExpectedOp> expected = expected_idle_ops();
  ASSERT_EQ(list.ops.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    EXPECT_EQ(list.ops[i].element, static_cast<int>(expected[i].element));
    EXPECT_EQ(kind_of(list.ops[i]), expected[i].kind);
    EXPECT_EQ(rect_of(list.ops[i]), expected[i].rect);
  }
}

TEST(MainLayoutTest, TheSheenFollowsTheBadgeWhileTheIntroRuns) {
  MainView view = ready_view();
  view.intro_tick = 3;
  const DrawList list = layout_main_window(view, HoverLevels{});
  ASSERT_EQ(list.ops.size(), expected_idle_ops().size() + 1);
  EXPECT_EQ(list.ops[2].element, static_cast<int>(MainElement::kNameBadge));
  EXPECT_EQ(list.ops[3].element, static_cast<int>(MainElement::kBadgeSheen));
  const auto& sheen = std::get<BitmapStep>(list.ops[3].shape);
  EXPECT_EQ(rect_of(list.ops[3]), (Rect{291, 6, 429, 28}));
  EXPECT_EQ(sheen.bgr0.size(), 138u * 22u * 4u);
  EXPECT_EQ(sheen.clip, (Rect{291, 6, 430, 29}));
  EXPECT_EQ(sheen.clip_corner, 4);
}

struct TextCase {
  MainElement element;
  std::string text;
  int size;
  int weight;
  TextAlign align;
  Rgb colour;
};

TEST(MainLayoutTest, TextsCarryTheirWordsAndStyles) {
  const MainView view = ready_view();
  const DrawList list = layout_main_window(view, HoverLevels{});
  using E = MainElement;
  const TextCase cases[] = {
      {E::kBadgeText, "VelmoQen工作台", 12, 700, TextAlign::kCentre, rgb_hex(0xFFFFFF)},
      {E::kCloseButton, "×", 17, 400, TextAlign::kCentre, Rgb{215, 215, 215}},
      {E::kHeaderText, view.header_text, 13, 600, TextAlign::kLeft, rgb_hex(0xF5F5F5)},
      {E::kVersionChip, view.version_chip, 11, 500, TextAlign::kCentre, rgb_hex(0xF2F2F2)},
      {E::kTitle, view.title, 18, 650, TextAlign::kLeft, rgb_hex(0xF5F5F5)},
      {E::kDescription, view.description, 12, 400, TextAlign::kLeft, rgb_hex(0xAAAAAA)},
      {E::kLocationLabel, "安装位置", 12, 600, TextAlign::kLeft, rgb_hex(0xE6E6E6)},
      {E::kPathText, view.location_text, 12, 400, TextAlign::kLeft, rgb_hex(0xD2D2D2)},
      {E::kChooseDirectoryButton, "选择目录", 11, 600, TextAlign::kCentre, Rgb{230, 230, 230}},
      {E::kCardLabel, "组件检测", 12, 600, TextAlign::kLeft, rgb_hex(0xE6E6E6)},
      {E::kStatusLine, view.status_line, 12, 400, TextAlign::kLeft, rgb_hex(0xE0E0E0)},
      {E::kSecondaryButton, view.secondary_label, 12, 600, TextAlign::kCentre, Rgb{225, 225, 225}},
      {E::kPrimaryButton, view.primary_label, 12, 700, TextAlign::kCentre, rgb_hex(0xFFFFFF)},
      {E::kFootnote, view.footnote, 11, 400, TextAlign::kLeft, rgb_hex(0x969696)},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.text);
    const TextStep* text = only_step<TextStep>(list, c.element);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->utf8, c.text);
    EXPECT_EQ(text->size, c.size);
    EXPECT_EQ(text->weight, c.weight);
    EXPECT_EQ(text->align, c.align);
    EXPECT_EQ(text->colour, c.colour);
  }
}

TEST(MainLayoutTest, ComponentRowsShowTheirIconLabelAndColouredStatus) {
  const MainView view = ready_view();
  const DrawList list = layout_main_window(view, HoverLevels{});
  const std::vector<const DrawOp*> rows = ops_of(list, MainElement::kComponentRows);
  ASSERT_EQ(rows.size(), 18u);
  const ImageId images[] = {ImageId::kIconOk, ImageId::kIconOk,      ImageId::kIconOk,
                            ImageId::kIconOk, ImageId::kIconMissing, ImageId::kIconPending};
  for (size_t i = 0; i < 6; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    const auto& icon = std::get<ImageStep>(rows[3 * i]->shape);
    EXPECT_EQ(icon.image, images[i]);
    EXPECT_EQ(icon.source_width, 18);
    EXPECT_EQ(icon.source_height, 18);
    EXPECT_FALSE(icon.smooth_scaling);
    const auto& label = std::get<TextStep>(rows[3 * i + 1]->shape);
    EXPECT_EQ(label.utf8, view.rows[i].label);
    EXPECT_EQ(label.size, 14);
    EXPECT_EQ(label.weight, 500);
    EXPECT_EQ(label.colour, rgb_hex(0xDCDCDC));
    const auto& status = std::get<TextStep>(rows[3 * i + 2]->shape);
    EXPECT_EQ(status.utf8, view.rows[i].status);
    EXPECT_EQ(status.size, 13);
    EXPECT_EQ(status.weight, 400);
    EXPECT_EQ(status.colour, view.rows[i].colour);
  }
}

TEST(MainLayoutTest, FixedBoxesHaveTheirColours) {
  const DrawList list = layout_main_window(ready_view(), HoverLevels{});
  struct BoxCase {
    MainElement element;
    Rgb fill;
    Rgb border;
    int corner;
  };
  const BoxCase cases[] = {
      {MainElement::kVersionChip, rgb_hex(0x2D2D30), rgb_hex(0x4B4B4E), 3},
      {MainElement::kLocationCard, rgb_hex(0x252526), rgb_hex(0x3C3C3C), 4},
      {MainElement::kComponentsCard, rgb_hex(0x252526), rgb_hex(0x3C3C3C), 4},
      {MainElement::kProgressTrack, rgb_hex(0x333333), rgb_hex(0x333333), 3},
      {MainElement::kProgressFill, rgb_hex(0x007ACC), rgb_hex(0x007ACC), 2},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.element));
    const RoundedBoxStep* box = only_step<RoundedBoxStep>(list, c.element);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->fill, c.fill);
    EXPECT_EQ(box->border, c.border);
    EXPECT_EQ(box->corner, c.corner);
  }
  const std::vector<const DrawOp*> strip = ops_of(list, MainElement::kHeaderStrip);
  ASSERT_EQ(strip.size(), 2u);
  EXPECT_EQ(std::get<FillStep>(strip[0]->shape).colour, rgb_hex(0x252526));
  EXPECT_EQ(std::get<FillStep>(strip[1]->shape).colour, rgb_hex(0x333333));
  EXPECT_EQ(only_step<FillStep>(list, MainElement::kBackground)->colour, rgb_hex(0x1E1E1E));
  EXPECT_EQ(only_step<FillStep>(list, MainElement::kTitleBar)->colour, rgb_hex(0x3C3C3C));
  EXPECT_EQ(only_step<FillStep>(list, MainElement::kSeparator)->colour, rgb_hex(0x373739));
}

// What each button should look like at a hover level, from the window's
// colour formulas.
struct ButtonLook {
  Rgb fill;
  Rgb border;
  Rgb label;
};

ButtonLook expected_look(HoverButton button, double h) {
  const double e = expected_ease(h);
  switch (button) {
    case HoverButton::kClose: {
      const Rgb label = expected_colour(215 + 40 * e, 215 + 40 * e, 215 + 40 * e);
      return {expected_colour(60 + 118 * e, 60 - 15 * e, 60 - 20 * e), {}, label};
    }
    case HoverButton::kChooseDirectory:
      return {expected_colour(45 + 7 * e, 45 + 13 * e, 48 + 16 * e),
              expected_colour(76 + 2 * e, 76 + 50 * e, 80 + 75 * e),
              expected_colour(230 + 20 * e, 230 + 20 * e, 230 + 20 * e)};
    case HoverButton::kSecondary:
      return {expected_colour(45 + 7 * e, 45 + 12 * e, 48 + 14 * e),
              expected_colour(62 + 18 * e, 62 + 56 * e, 64 + 77 * e),
              expected_colour(225 + 25 * e, 225 + 25 * e, 225 + 25 * e)};
    case HoverButton::kPrimary:
      return {expected_colour(14 + 4 * e, 99 + 18 * e, 156 + 22 * e),
              expected_colour(17 + 40 * e, 119 + 32 * e, 187 + 20 * e), Rgb{255, 255, 255}};
  }
  return {};
}

MainElement element_of(HoverButton button) {
  switch (button) {
    case HoverButton::kClose:
      return MainElement::kCloseButton;
    case HoverButton::kChooseDirectory:
      return MainElement::kChooseDirectoryButton;
    case HoverButton::kSecondary:
      return MainElement::kSecondaryButton;
    case HoverButton::kPrimary:
      return MainElement::kPrimaryButton;
  }
  return MainElement::kBackground;
}

// The look the layout gave a button: box or plain fill, and its label.
ButtonLook drawn_look(const DrawList& list, HoverButton button) {
  const MainElement element = element_of(button);
  ButtonLook look;
  if (const auto* fill = only_step<FillStep>(list, element)) {
    look.fill = fill->colour;
  }
  if (const auto* box = only_step<RoundedBoxStep>(list, element)) {
    look.fill = box->fill;
    look.border = box->border;
  }
  if (const auto* text = only_step<TextStep>(list, element)) {
    look.label = text->colour;
  }
  return look;
}

struct HoverCase {
  const char* name;
  HoverButton button;
  float level;
};

class MainLayoutHoverTest : public testing::TestWithParam<HoverCase> {};

// Only the hovered button changes; the others keep their resting colours.
TEST_P(MainLayoutHoverTest, HoveredButtonFollowsItsFormula) {
  const HoverCase& c = GetParam();
  HoverLevels hover;
  hover[c.button] = c.level;
  const DrawList list = layout_main_window(ready_view(), hover);
  for (HoverButton button : {HoverButton::kClose, HoverButton::kChooseDirectory,
                             HoverButton::kSecondary, HoverButton::kPrimary}) {
    SCOPED_TRACE(static_cast<int>(button));
    const double h = button == c.button ? std::clamp(static_cast<double>(c.level), 0.0, 1.0) : 0;
    const ButtonLook expected = expected_look(button, h);
    const ButtonLook drawn = drawn_look(list, button);
    EXPECT_EQ(drawn.fill, expected.fill);
    EXPECT_EQ(drawn.border, expected.border);
    EXPECT_EQ(drawn.label, expected.label);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Levels,
    MainLayoutHoverTest,
    testing::Values(HoverCase{"PrimaryHalf", HoverButton::kPrimary, 0.5f},
                    HoverCase{"PrimaryThreeSteps", HoverButton::kPrimary, 0.42f},
                    HoverCase{"PrimaryFull", HoverButton::kPrimary, 1.0f},
                    HoverCase{"CloseHalf", HoverButton::kClose, 0.5f},
                    HoverCase{"CloseFull", HoverButton::kClose, 1.0f},
                    HoverCase{"ChooseDirectoryOneStep", HoverButton::kChooseDirectory, 0.14f},
                    HoverCase{"ChooseDirectoryFull", HoverButton::kChooseDirectory, 1.0f},
                    HoverCase{"SecondaryHalf", HoverButton::kSecondary, 0.5f},
                    HoverCase{"SecondaryAboveOneIsClamped", HoverButton::kSecondary, 1.5f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MainLayoutTest, PathBoxBorderLightsWithTheChooseDirectoryButton) {
  for (float level : {0.0f, 0.28f, 0.5f, 0.7f, 1.0f}) {
    SCOPED_TRACE(level);
    HoverLevels hover;
    hover[HoverButton::kChooseDirectory] = level;
    const DrawList list = layout_main_window(ready_view(), hover);
    const double k = std::min(1.0, 0.65 * expected_ease(level));
    const RoundedBoxStep* box = only_step<RoundedBoxStep>(list, MainElement::kPathBox);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->fill, rgb_hex(0x1E1E1E));
    EXPECT_EQ(box->border, expected_colour(55 + 11 * k, 55 + 36 * k, 57 + 50 * k));
  }
}

// A busy window ignores the pointer: fully hovered buttons still show the
// disabled colours, and the path box does not light up.
TEST(MainLayoutTest, BusyButtonsShowDisabledColoursWhateverTheHover) {
  const DrawList list = layout_main_window(busy_view(false), all_hovered());
  struct DisabledCase {
    HoverButton button;
    ButtonLook look;
  };
  const DisabledCase cases[] = {
      {HoverButton::kClose, {rgb_hex(0x3C3C3C), {}, rgb_hex(0x828282)}},
      {HoverButton::kChooseDirectory, {rgb_hex(0x28282A), rgb_hex(0x37373A), rgb_hex(0x919194)}},
      {HoverButton::kSecondary, {rgb_hex(0x28282A), rgb_hex(0x363639), rgb_hex(0x8C8C8F)}},
      {HoverButton::kPrimary, {rgb_hex(0x244359), rgb_hex(0x2F546C), rgb_hex(0x91AABD)}},
  };
  for (const DisabledCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.button));
    const ButtonLook drawn = drawn_look(list, c.button);
    EXPECT_EQ(drawn.fill, c.look.fill);
    EXPECT_EQ(drawn.border, c.look.border);
    EXPECT_EQ(drawn.label, c.look.label);
  }
  EXPECT_EQ(only_step<RoundedBoxStep>(list, MainElement::kPathBox)->border, (Rgb{55, 55, 57}));
}

TEST(MainLayoutTest, InactivePrimaryIgnoresHoverOnAnIdleScreen) {
  MainView view = ready_view();
  view.primary_active = false;
  const ButtonLook drawn =
      drawn_look(layout_main_window(view, all_hovered()), HoverButton::kPrimary);
  EXPECT_EQ(drawn.fill, rgb_hex(0x244359));
  EXPECT_EQ(drawn.border, rgb_hex(0x2F546C));
  EXPECT_EQ(drawn.label, rgb_hex(0x91AABD));
}

// nullopt: no fill step at all.
std::optional<Rect> progress_fill(const MainView& view) {
  const DrawList list = layout_main_window(view, HoverLevels{});
  const std::vector<const DrawOp*> ops = ops_of(list, MainElement::kProgressFill);
  if (ops.empty()) {
    return std::nullopt;
  }
  EXPECT_EQ(ops.size(), 1u);
  return std::get<RoundedBoxStep>(ops[0]->shape).rect;
}

struct DeterminateCase {
  int32_t progress;
  std::optional<int> right;  // nullopt: not drawn
};

TEST(MainLayoutTest, DeterminateFillGrowsWithProgress) {
  // Right edges by hand: 54 + min(p, 100) * 612 / 100, integer division.
  const DeterminateCase cases[] = {
      {37, 280}, {1, 60}, {99, 659}, {100, 666}, {150, 666}, {0, std::nullopt}, {-5, std::nullopt},
  };
  for (const DeterminateCase& c : cases) {
    SCOPED_TRACE(c.progress);
    MainView view = ready_view();
    view.progress = c.progress;
    view.install_sweep = 300;  // ignored outside installing
    const std::optional<Rect> fill = progress_fill(view);
    if (!c.right) {
      EXPECT_FALSE(fill.has_value());
      continue;
    }
    ASSERT_TRUE(fill.has_value());
    EXPECT_EQ(*fill, (Rect{54, 470, *c.right, 476}));
  }
}

struct SweepCase {
  uint32_t sweep;
  std::optional<std::pair<int, int>> span;  // nullopt: not drawn
};

// While installing a segment runs along the track; with s = sweep mod 730 it
// spans max(s, 118) - 64 .. min(s, 612) + 54 (edges worked out by hand).
TEST(MainLayoutTest, InstallingSweepsASegmentThatWraps) {
  const SweepCase cases[] = {
      {0, std::nullopt},          {5, std::pair{54, 59}},      {118, std::pair{54, 172}},
      {300, std::pair{236, 354}}, {612, std::pair{548, 666}},  {700, std::pair{636, 666}},
      {729, std::pair{665, 666}}, {730, std::nullopt},         {735, std::pair{54, 59}},
      {1460, std::nullopt},       {1760, std::pair{236, 354}},
  };
  for (const SweepCase& c : cases) {
    SCOPED_TRACE(c.sweep);
    MainView view = busy_view(true);
    view.progress = 37;  // the determinate bar does not apply while installing
    view.install_sweep = c.sweep;
    const std::optional<Rect> fill = progress_fill(view);
    if (!c.span) {
      EXPECT_FALSE(fill.has_value());
      continue;
    }
    ASSERT_TRUE(fill.has_value());
    EXPECT_EQ(*fill, (Rect{c.span->first, 470, c.span->second, 476}));
  }
}

}  // namespace
}  // namespace velmo
