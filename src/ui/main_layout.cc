#include "ui/main_layout.h"

#include <algorithm>
#include <string>
#include <utility>

#include "ui/badge_intro.h"
#include "ui/colour_formula.h"

namespace velmo {

namespace {

constexpr int kProgressTop = 470;
constexpr int kProgressBottom = 476;
constexpr int kProgressLeft = 54;
constexpr int kProgressWidth = 612;
constexpr int kSweepPeriod = 730;
constexpr int kIconSize = 18;

constexpr Rgb kCardFill = rgb_hex(0x252526);
constexpr Rgb kCardBorder = rgb_hex(0x3C3C3C);
constexpr Rgb kBright = rgb_hex(0xF5F5F5);
constexpr Rgb kCardLabelColour = rgb_hex(0xE6E6E6);
constexpr Rgb kDisabledButtonFill = rgb_hex(0x28282A);

// Appends to one element of the list; keeps every call site short.
class ElementWriter {
 public:
  ElementWriter(DrawList& list, MainElement element)
      : list_(list), element_(static_cast<int>(element)) {}

  void fill(Rect rect, Rgb colour) { list_.fill(element_, rect, colour); }
  void box(Rect rect, Rgb fill, Rgb border, int corner) {
    list_.rounded_box(element_, rect, fill, border, corner);
  }
  void text(Rect rect, std::string utf8, int size, int weight, TextAlign align, Rgb colour) {
    list_.text(element_, TextStep{rect, std::move(utf8), size, weight, align, colour});
  }
  void image(ImageStep step) { list_.image(element_, step); }
  void bitmap(BitmapStep step) { list_.bitmap(element_, std::move(step)); }

 private:
  DrawList& list_;
  int element_;
};

struct ButtonColours {
  Rgb fill;
  Rgb border;
  Rgb label;
};

void add_background(DrawList& list) {
  ElementWriter(list, MainElement::kBackground)
      .fill({0, 0, kMainWidth, kMainHeight}, rgb_hex(0x1E1E1E));
}

// The title bar with the name badge; the badge glows during the intro.
void add_title_bar(DrawList& list, const MainView& view) {
  ElementWriter(list, MainElement::kTitleBar).fill({0, 0, 720, 34}, rgb_hex(0x3C3C3C));

  const BadgeColours badge = badge_colours(view.intro_tick);
  ElementWriter(list, MainElement::kNameBadge).box({290, 5, 430, 29}, badge.fill, badge.border, 6);
  if (sheen_visible(view.intro_tick)) {
    ElementWriter(list, MainElement::kBadgeSheen)
        .bitmap(BitmapStep{kSheenLeft, kSheenTop, kSheenWidth, kSheenHeight,
                           sheen_pixels(view.intro_tick, badge.fill), kSheenClip,
                           kSheenClipCorner});
  }
  ElementWriter(list, MainElement::kBadgeText)
      .text({298, 5, 422, 29}, "VelmoQen工作台", 12, 700, TextAlign::kCentre, rgb_hex(0xFFFFFF));
}

// The close button reddens on hover, but stays grey while a worker runs.
void add_close_button(DrawList& list, const MainView& view, const HoverLevels& hover) {
  ElementWriter close(list, MainElement::kCloseButton);
  Rgb fill = rgb_hex(0x3C3C3C);
  Rgb label = rgb_hex(0x828282);
  if (view.close_enabled) {
    const double e = eased_level(hover[HoverButton::kClose]);
    fill = colour_from(60 + 118 * e, 60 - 15 * e, 60 - 20 * e);
    label = grey(215 + 40 * e);
  }
  close.fill(kCloseButtonRect, fill);
  close.text(kCloseButtonRect, "×", 17, 400, TextAlign::kCentre, label);
}

void add_header(DrawList& list, const MainView& view) {
  ElementWriter strip(list, MainElement::kHeaderStrip);
  strip.fill({0, 34, 720, 76}, rgb_hex(0x252526));
  strip.fill({0, 75, 720, 76}, rgb_hex(0x333333));

  ElementWriter(list, MainElement::kHeaderText)
      .text({28, 34, 250, 76}, view.header_text, 13, 600, TextAlign::kLeft, kBright);

  ElementWriter chip(list, MainElement::kVersionChip);
  const Rect chip_rect{566, 44, 692, 66};
  chip.box(chip_rect, rgb_hex(0x2D2D30), rgb_hex(0x4B4B4E), 3);
  chip.text(chip_rect, view.version_chip, 11, 500, TextAlign::kCentre, rgb_hex(0xF2F2F2));

  ElementWriter(list, MainElement::kTitle)
      .text({30, 92, 690, 123}, view.title, 18, 650, TextAlign::kLeft, kBright);
  ElementWriter(list, MainElement::kDescription)
      .text({30, 123, 690, 148}, view.description, 12, 400, TextAlign::kLeft, rgb_hex(0xAAAAAA));
}

ButtonColours choose_directory_colours(bool enabled, double e) {
  if (!enabled) {
    return {kDisabledButtonFill, rgb_hex(0x37373A), rgb_hex(0x919194)};
  }
  return {colour_from(45 + 7 * e, 45 + 13 * e, 48 + 16 * e),
          colour_from(76 + 2 * e, 76 + 50 * e, 80 + 75 * e), grey(230 + 20 * e)};
}

// The path box lights up with the button beside it: the two read as one.
void add_location_card(DrawList& list, const MainView& view, const HoverLevels& hover) {
  ElementWriter(list, MainElement::kLocationCard)
      .box({30, 154, 690, 204}, kCardFill, kCardBorder, 4);
  ElementWriter(list, MainElement::kLocationLabel)
      .text({52, 163, 140, 195}, "安装位置", 12, 600, TextAlign::kLeft, kCardLabelColour);

  const double e1 = eased_level(hover[HoverButton::kChooseDirectory]);
  const double k = view.choose_directory_enabled ? std::min(1.0, 0.65 * e1) : 0.0;
  ElementWriter(list, MainElement::kPathBox)
      .box({142, 163, 566, 195}, rgb_hex(0x1E1E1E),
           colour_from(55 + 11 * k, 55 + 36 * k, 57 + 50 * k), 3);
  ElementWriter(list, MainElement::kPathText)
      .text({154, 163, 554, 195}, view.location_text, 12, 400, TextAlign::kLeft, rgb_hex(0xD2D2D2));

  const ButtonColours colours = choose_directory_colours(view.choose_directory_enabled, e1);
  ElementWriter button(list, MainElement::kChooseDirectoryButton);
  button.box(kChooseDirectoryRect, colours.fill, colours.border, 3);
  button.text(kChooseDirectoryRect, "选择目录", 11, 600, TextAlign::kCentre, colours.label);
}

void add_component_row(ElementWriter& rows, const ComponentRow& row, int top) {
  rows.image(ImageStep{status_icon_image(row.icon), 58, top + 9, kIconSize, kIconSize, kIconSize,
                       kIconSize, false});
  rows.text({94, top, 275, top + 36}, row.label, 14, 500, TextAlign::kLeft, rgb_hex(0xDCDCDC));
  rows.text({278, top, 658, top + 36}, row.status, 13, 400, TextAlign::kLeft, row.colour);
}

void add_components_card(DrawList& list, const MainView& view) {
  ElementWriter(list, MainElement::kComponentsCard)
      .box({30, 212, 690, 496}, kCardFill, kCardBorder, 4);
  ElementWriter(list, MainElement::kCardLabel)
      .text({52, 222, 220, 250}, "组件检测", 12, 600, TextAlign::kLeft, kCardLabelColour);
  ElementWriter(list, MainElement::kSeparator).fill({52, 253, 668, 254}, rgb_hex(0x373739));

  ElementWriter rows(list, MainElement::kComponentRows);
  for (size_t i = 0; i < view.rows.size(); ++i) {
    add_component_row(rows, view.rows[i], component_row_top(static_cast<int>(i)));
  }
}

void add_progress(DrawList& list, const MainView& view) {
  constexpr Rgb kTrack = rgb_hex(0x333333);
  constexpr Rgb kFill = rgb_hex(0x007ACC);
  ElementWriter(list, MainElement::kProgressTrack).box({52, 468, 668, 478}, kTrack, kTrack, 3);

  const ProgressSpan span = progress_span(view);
  if (span.right <= span.left) {
    return;
  }
  ElementWriter(list, MainElement::kProgressFill)
      .box({span.left, kProgressTop, span.right, kProgressBottom}, kFill, kFill, 2);
}

ButtonColours secondary_colours(bool enabled, double e) {
  if (!enabled) {
    return {kDisabledButtonFill, rgb_hex(0x363639), rgb_hex(0x8C8C8F)};
  }
  return {colour_from(45 + 7 * e, 45 + 12 * e, 48 + 14 * e),
          colour_from(62 + 18 * e, 62 + 56 * e, 64 + 77 * e), grey(225 + 25 * e)};
}

ButtonColours primary_colours(bool active, double e) {
  if (!active) {
    return {rgb_hex(0x244359), rgb_hex(0x2F546C), rgb_hex(0x91AABD)};
  }
  return {colour_from(14 + 4 * e, 99 + 18 * e, 156 + 22 * e),
          colour_from(17 + 40 * e, 119 + 32 * e, 187 + 20 * e), rgb_hex(0xFFFFFF)};
}

void add_button(DrawList& list,
                MainElement element,
                Rect rect,
                const ButtonColours& colours,
                const std::string& label,
                int weight) {
  ElementWriter button(list, element);
  button.box(rect, colours.fill, colours.border, 3);
  button.text(rect, label, 12, weight, TextAlign::kCentre, colours.label);
}

void add_bottom(DrawList& list, const MainView& view, const HoverLevels& hover) {
  ElementWriter(list, MainElement::kStatusLine)
      .text({30, 504, 455, 530}, view.status_line, 12, 400, TextAlign::kLeft, rgb_hex(0xE0E0E0));

  const double e2 = eased_level(hover[HoverButton::kSecondary]);
  add_button(list, MainElement::kSecondaryButton, kSecondaryButtonRect,
             secondary_colours(view.secondary_enabled, e2), view.secondary_label, 600);
  const double e3 = eased_level(hover[HoverButton::kPrimary]);
  add_button(list, MainElement::kPrimaryButton, kPrimaryButtonRect,
             primary_colours(view.primary_active, e3), view.primary_label, 700);

  ElementWriter(list, MainElement::kFootnote)
      .text({30, 588, 690, 614}, view.footnote, 11, 400, TextAlign::kLeft, rgb_hex(0x969696));
}

}  // namespace

// Installing has no measurable progress, so a short segment sweeps along the
// track instead; it enters and leaves the track's ends smoothly.
ProgressSpan progress_span(const MainView& view) {
  if (view.installing) {
    const int s = static_cast<int>(view.install_sweep % kSweepPeriod);
    return {std::max(s, 118) - 64, std::min(s, kProgressWidth) + kProgressLeft};
  }
  if (view.progress <= 0) {
    return {};
  }
  const int percent = std::min<int>(view.progress, 100);
  return {kProgressLeft, kProgressLeft + percent * kProgressWidth / 100};
}

DrawList layout_main_window(const MainView& view, const HoverLevels& hover) {
  DrawList list;
  add_background(list);
  add_title_bar(list, view);
  add_close_button(list, view, hover);
  add_header(list, view);
  add_location_card(list, view, hover);
  add_components_card(list, view);
  add_progress(list, view);
  add_bottom(list, view, hover);
  return list;
}

}  // namespace velmo
