#include "ui/startup_layout.h"

#include <algorithm>
#include <utility>

namespace velmo {

namespace {

constexpr int kWidth = kStartupWidth;
constexpr int kTextRight = kWidth - 34;
constexpr int kTrackRight = kWidth - 40;
constexpr int kChipWidth = 116;
constexpr int kEmblemSource = 512;
constexpr int kEmblemSize = 92;
// The status text turns from "connecting" to "verifying" after this tick.
constexpr uint32_t kConnectingTicks = 41;

constexpr Rgb kAccent = rgb_hex(0x007ACC);
constexpr Rgb kAccentLight = rgb_hex(0x75BEFF);
constexpr Rgb kFailure = rgb_hex(0xF48771);

constexpr char kProductName[] = "VelmoQen工作台";

void text(DrawList& list,
          StartupElement element,
          Rect rect,
          std::string utf8,
          int size,
          int weight,
          Rgb colour,
          TextAlign align = TextAlign::kLeft) {
  list.text(static_cast<int>(element),
            TextStep{rect, std::move(utf8), size, weight, align, colour});
}

int id(StartupElement element) {
  return static_cast<int>(element);
}

void draw_frame(DrawList& list) {
  list.fill(id(StartupElement::kBackground), {0, 0, kWidth, kStartupHeight}, rgb_hex(0x1E1E1E));
  list.fill(id(StartupElement::kTitleBar), {0, 0, kWidth, 32}, rgb_hex(0x3C3C3C));
  list.fill(id(StartupElement::kTitleBar), {0, 31, kWidth, 32}, rgb_hex(0x2B2B2B));
  const int chip_left = (kWidth - kChipWidth) / 2;
  list.rounded_box(id(StartupElement::kNameChip), {chip_left, 4, chip_left + kChipWidth, 28},
                   rgb_hex(0x303439), rgb_hex(0x5C6871), 12);
  text(list, StartupElement::kNameChip, {chip_left + 8, 0, chip_left + 108, 32}, kProductName, 13,
       600, rgb_hex(0xFFFFFF), TextAlign::kCentre);
  list.image(id(StartupElement::kEmblem), ImageStep{ImageId::kStartupEmblem, 32, 75, kEmblemSource,
                                                    kEmblemSource, kEmblemSize, kEmblemSize, true});
}

void draw_bar(DrawList& list, const StartupView& view) {
  const Rect track{150, 176, kTrackRight, 186};
  list.rounded_box(id(StartupElement::kTrack), track, rgb_hex(0x2A2A2B), rgb_hex(0x2A2A2B), 4);
  if (view.failed) {
    list.rounded_box(id(StartupElement::kBar), track, rgb_hex(0x5A2B2B), rgb_hex(0x5A2B2B), 4);
    return;
  }
  const BarSegment segment = startup_bar_segment(view.frame_counter);
  if (segment.right > segment.left) {
    list.rounded_box(id(StartupElement::kBar), {segment.left, 178, segment.right, 184}, kAccent,
                     kAccentLight, 3);
  }
}

}  // namespace

StartupView build_startup_view(const UiState& state) {
  return StartupView{state.screen == Screen::Failed, state.message, state.frame_counter};
}

std::string startup_status_text(const StartupView& view) {
  if (view.failed) {
    return view.message.value_or("请关闭此提示后重新打开桌面快捷方式。");
  }
  return view.frame_counter <= kConnectingTicks ? "正在连接Velmo服务器" : "正在完成程序安全校验";
}

// The segment moves 8 pixels a tick and wraps at the end of the track; the
// arithmetic is 32-bit signed, as the counter runs for the window's life.
BarSegment startup_bar_segment(uint32_t frame_counter) {
  const int32_t span = kWidth - 74;
  const int32_t offset = static_cast<int32_t>(frame_counter * 8u) % span;
  return BarSegment{std::max(offset + 32, 152), std::min(offset + 152, kWidth - 42)};
}

DrawList layout_startup_window(const StartupView& view) {
  DrawList list;
  draw_frame(list);
  const bool failed = view.failed;
  text(list, StartupElement::kHeadline, {150, 57, kTextRight, 94},
       failed ? "Velmo Qen 工作台启动失败" : "正在启动Velmo Qen 工作台", 22, 700,
       failed ? rgb_hex(0xFFB4B4) : rgb_hex(0xF5F5F5));
  const Rgb dot = failed ? kFailure : kAccent;
  list.rounded_box(id(StartupElement::kStatusDot), {150, 109, 157, 116}, dot, dot, 3);
  text(list, StartupElement::kStatusText, {166, 96, kTextRight, 129}, startup_status_text(view), 14,
       600, failed ? kFailure : kAccentLight);
  text(
      list, StartupElement::kHint, {150, 129, kTextRight, 160},
      failed ? "按 Esc 或关闭窗口后重试。" : "首次启动或程序更新后可能需要一些时间，请勿重复点击。",
      12, 400, rgb_hex(0xD4D4D4));
  draw_bar(list, view);
  text(list, StartupElement::kFooter, {150, 194, kTextRight, 226}, "启动完成后此窗口会自动关闭", 11,
       400, rgb_hex(0x969696));
  return list;
}

}  // namespace velmo
