// The startup window: its tick (minimum display time, closing after a
// successful launch, staying after a failure) and its drawing list.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/progress_queue.h"
#include "app/receiver_slot.h"
#include "draw_list_probe.h"
#include "fake_ui_services.h"
#include "ui/screen_actions.h"
#include "ui/startup_layout.h"
#include "ui/ui_events.h"
#include "ui/ui_tick.h"

namespace velmo {
namespace {

using test::only_step;

// A startup window fed by a real progress queue, ticked as timer 1 does.
class TickedStartupWindow {
 public:
  TickedStartupWindow() {
    state_.launch_mode = true;
    state_.screen = Screen::Checking;
    ProgressChannel channel = open_progress_queue();
    sender_.emplace(std::move(channel.sender));
    slot_.park(std::move(channel.receiver));
  }

  // Ticks until the window closes (at most `limit` ticks); returns the
  // counter value before the closing tick, or nothing. `event` is sent just
  // before the tick whose counter is `send_at`.
  std::optional<uint32_t> closing_tick(uint32_t send_at, WorkerEvent event, uint32_t limit) {
    for (uint32_t i = 0; i < limit; ++i) {
      if (state_.frame_counter == send_at) {
        sender_->send(event);
      }
      const uint32_t before = state_.frame_counter;
      const AfterTimer after = on_timer(state_, slot_, fake_.services());
      if (after == AfterTimer::DestroyWindow) {
        return before;
      }
      EXPECT_EQ(after, AfterTimer::Repaint) << "tick " << before;
    }
    return std::nullopt;
  }

  const UiState& state() const { return state_; }

 private:
  UiState state_;
  ReceiverSlot slot_;
  std::optional<EventSender> sender_;
  test::FakeUiServices fake_;
};

TEST(StartupTickTest, SuccessClosesOnlyAfterTheMinimumTime) {
  struct Case {
    uint32_t arrives;
    uint32_t closes;
  };
  // 44 ticks is about 2 s: past the minimum, it closes on the tick that
  // receives it.
  for (const Case& c : {Case{0, 17}, Case{5, 17}, Case{16, 17}, Case{17, 17}, Case{44, 44}}) {
    TickedStartupWindow window;
    EXPECT_EQ(window.closing_tick(c.arrives, WorkerEvent::launch_succeeded(), 100), c.closes)
        << "arrives on tick " << c.arrives;
  }
}

TEST(StartupTickTest, FailureStaysOpenAndShowsTheMessage) {
  TickedStartupWindow window;
  EXPECT_EQ(window.closing_tick(3, WorkerEvent::launch_failed("启动失败了"), 300), std::nullopt);
  EXPECT_EQ(window.state().screen, Screen::Failed);
  EXPECT_EQ(startup_status_text(build_startup_view(window.state())), "启动失败了");
}

// While the launch applies a downloaded update the workbench's program is
// being replaced: closing then would end the process half-way.
TEST(StartupCloseTest, IgnoredOnlyWhileAnUpdateIsApplied) {
  UiState state;
  state.launch_mode = true;
  ReceiverSlot slot;
  test::FakeUiServices fake;
  const auto apply = [&](WorkerEvent event) {
    std::vector<WorkerEvent> events;
    events.push_back(std::move(event));
    apply_events(state, std::move(events), slot, fake.services());
  };
  EXPECT_TRUE(close_requested(state)) << "while checking";
  apply(WorkerEvent::installing(Component::Workbench, "正在应用已下载的VelmoQen工作台更新。"));
  EXPECT_FALSE(close_requested(state)) << "while applying";
  apply(WorkerEvent::component_installed(Component::Workbench));
  EXPECT_EQ(state.screen, Screen::Checking);
  EXPECT_TRUE(close_requested(state)) << "while the workbench starts";
  apply(WorkerEvent::launch_failed("x"));
  EXPECT_TRUE(close_requested(state)) << "after a failure";
}

TEST(StartupStatusTextTest, SwitchesAfter42TicksAndNeverBack) {
  struct Case {
    uint32_t frame;
    const char* text;
  };
  for (const Case& c : {Case{0, "正在连接Velmo服务器"}, Case{41, "正在连接Velmo服务器"},
                        Case{42, "正在完成程序安全校验"}, Case{1000, "正在完成程序安全校验"},
                        Case{0xFFFFFFFFu, "正在完成程序安全校验"}}) {
    EXPECT_EQ(startup_status_text(StartupView{false, std::nullopt, c.frame}), c.text) << c.frame;
  }
  EXPECT_EQ(startup_status_text(StartupView{true, std::nullopt, 5}),
            "请关闭此提示后重新打开桌面快捷方式。");
}

TEST(StartupBarTest, SegmentMovesEightPixelsATickAndWraps) {
  struct Case {
    uint32_t frame;
    int left;
    int right;
  };
  // The track runs from 152 to 578; the segment is 120 wide, cut at both
  // ends, and starts again after 546 pixels. 0x10000000 · 8 is the most
  // negative 32-bit number: -128 after the wrap, nothing to draw.
  for (const Case& c :
       {Case{0, 152, 152}, Case{10, 152, 232}, Case{20, 192, 312}, Case{60, 512, 578},
        Case{68, 576, 578}, Case{69, 152, 158}, Case{0x10000000u, 152, 24}}) {
    const BarSegment segment = startup_bar_segment(c.frame);
    EXPECT_EQ(segment.left, c.left) << c.frame;
    EXPECT_EQ(segment.right, c.right) << c.frame;
  }
}

TEST(StartupLayoutTest, LaunchingShowsTheFixedFrameAndTheMovingSegment) {
  const DrawList list = layout_startup_window(StartupView{false, std::nullopt, 10});
  ASSERT_FALSE(list.ops.empty());
  EXPECT_EQ(list.ops.front().element, static_cast<int>(StartupElement::kBackground));
  const auto* chip = only_step<RoundedBoxStep>(list, StartupElement::kNameChip);
  ASSERT_NE(chip, nullptr);
  EXPECT_EQ(chip->rect, (Rect{252, 4, 368, 28}));
  EXPECT_EQ(chip->corner, 12);
  const auto* emblem = only_step<ImageStep>(list, StartupElement::kEmblem);
  ASSERT_NE(emblem, nullptr);
  EXPECT_EQ(emblem->image, ImageId::kStartupEmblem);
  EXPECT_EQ(emblem->x, 32);
  EXPECT_EQ(emblem->y, 75);
  EXPECT_EQ(emblem->dest_width, 92);
  EXPECT_TRUE(emblem->smooth_scaling);
  const auto* headline = only_step<TextStep>(list, StartupElement::kHeadline);
  ASSERT_NE(headline, nullptr);
  EXPECT_EQ(headline->utf8, "正在启动Velmo Qen 工作台");
  EXPECT_EQ(headline->colour, rgb_hex(0xF5F5F5));
  EXPECT_EQ(headline->size, 22);
  EXPECT_EQ(headline->weight, 700);
  const auto* bar = only_step<RoundedBoxStep>(list, StartupElement::kBar);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->rect, (Rect{152, 178, 232, 184}));
  EXPECT_EQ(bar->fill, rgb_hex(0x007ACC));
  EXPECT_EQ(bar->border, rgb_hex(0x75BEFF));
  const auto* footer = only_step<TextStep>(list, StartupElement::kFooter);
  ASSERT_NE(footer, nullptr);
  EXPECT_EQ(footer->utf8, "启动完成后此窗口会自动关闭");
  EXPECT_EQ(footer->rect, (Rect{150, 194, 586, 226}));
}

TEST(StartupLayoutTest, NoSegmentWhereItHasNoWidth) {
  const DrawList list = layout_startup_window(StartupView{false, std::nullopt, 0});
  EXPECT_TRUE(test::ops_of(list, StartupElement::kBar).empty());
}

TEST(StartupLayoutTest, FailureShowsTheMessageInRedAndADimTrack) {
  const DrawList list = layout_startup_window(
      StartupView{true, "VelmoQen工作台尚未显示主窗口便已退出，错误码 1", 50});
  const auto* headline = only_step<TextStep>(list, StartupElement::kHeadline);
  ASSERT_NE(headline, nullptr);
  EXPECT_EQ(headline->utf8, "Velmo Qen 工作台启动失败");
  EXPECT_EQ(headline->colour, rgb_hex(0xFFB4B4));
  const auto* status = only_step<TextStep>(list, StartupElement::kStatusText);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->utf8, "VelmoQen工作台尚未显示主窗口便已退出，错误码 1");
  EXPECT_EQ(status->colour, rgb_hex(0xF48771));
  const auto* dot = only_step<RoundedBoxStep>(list, StartupElement::kStatusDot);
  ASSERT_NE(dot, nullptr);
  EXPECT_EQ(dot->fill, rgb_hex(0xF48771));
  const auto* hint = only_step<TextStep>(list, StartupElement::kHint);
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->utf8, "按 Esc 或关闭窗口后重试。");
  const auto* bar = only_step<RoundedBoxStep>(list, StartupElement::kBar);
  ASSERT_NE(bar, nullptr) << "the failed bar is the whole track, once";
  EXPECT_EQ(bar->rect, (Rect{150, 176, 580, 186}));
  EXPECT_EQ(bar->fill, rgb_hex(0x5A2B2B));
  EXPECT_EQ(bar->corner, 4);
}

}  // namespace
}  // namespace velmo
