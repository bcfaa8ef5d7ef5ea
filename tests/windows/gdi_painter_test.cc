// Paints drawing steps into an off-screen 32-bit bitmap under the real GDI
// and reads pixels back, so the painter's geometry and colours are checked
// the way the window shows them.
#include "ui/gdi_painter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win/handles.h"
#include "ui/main_layout.h"

namespace velmo {
namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 620;
constexpr COLORREF kMagenta = RGB(255, 0, 255);

std::string describe(COLORREF colour) {
  std::ostringstream out;
  out << "(" << int{GetRValue(colour)} << ", " << int{GetGValue(colour)} << ", "
      << int{GetBValue(colour)} << ")";
  return out.str();
}

// A window-sized 32-bit canvas, filled with magenta so that anything the
// painter leaves out shows.
class Canvas {
 public:
  Canvas() : dc_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    UniqueBrush magenta(::CreateSolidBrush(kMagenta));
    const RECT all{0, 0, kWidth, kHeight};
    ::FillRect(dc_.get(), &all, magenta.get());
  }
  ~Canvas() { ::SelectObject(dc_.get(), previous_); }

  bool ready() const { return dc_ && bitmap_; }
  HDC dc() const { return dc_.get(); }
  COLORREF at(int x, int y) const { return ::GetPixel(dc_.get(), x, y); }

 private:
  UniqueMemoryDc dc_;
  UniqueBitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
};

struct Probe {
  const char* what;
  int x;
  int y;
  COLORREF expected;
};

void expect_pixels(const Canvas& canvas, const std::vector<Probe>& probes) {
  for (const Probe& probe : probes) {
    const COLORREF actual = canvas.at(probe.x, probe.y);
    EXPECT_EQ(actual, probe.expected)
        << probe.what << " at (" << probe.x << ", " << probe.y << "): " << describe(actual)
        << " instead of " << describe(probe.expected);
  }
}

// One solid 18 x 18 image per status icon.
class SolidImages {
 public:
  SolidImages() {
    add(ImageId::kIconOk, Rgb{0x53, 0xD5, 0x9C});
    add(ImageId::kIconPending, Rgb{0x40, 0xA9, 0xFF});
    add(ImageId::kIconMissing, Rgb{0xFF, 0x8C, 0x70});
  }

  ImageSource source() const {
    return [this](ImageId id) -> std::optional<DibView> {
      const auto found = pixels_.find(id);
      if (found == pixels_.end()) {
        return std::nullopt;
      }
      return DibView{18, 18, found->second};
    };
  }

 private:
  void add(ImageId id, Rgb colour) {
    std::vector<uint8_t>& pixels = pixels_[id];
    for (int i = 0; i < 18 * 18; ++i) {
      pixels.insert(pixels.end(), {colour.b, colour.g, colour.r, 0});
    }
  }

  std::map<ImageId, std::vector<uint8_t>> pixels_;
};

MainView sample_view() {
  MainView view;
  view.header_text = "准备安装";
  view.title = "环境检测完成";
  view.primary_label = "开始安装";
  view.primary_active = true;
  view.progress = 37;
  view.rows[0].icon = IconState::kOk;
  view.rows[4].icon = IconState::kMissing;
  view.rows[5].icon = IconState::kPending;
  return view;
}

TEST(GdiPainterTest, PaintsTheMainLayoutsFillsAtTheirPlaces) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  HoverLevels hover;
  hover[HoverButton::kClose] = 1.0f;
  const SolidImages images;
  ASSERT_TRUE(paint_double_buffered(canvas.dc(), kWidth, kHeight,
                                    layout_main_window(sample_view(), hover), images.source()));
  // The fully hovered close button: (60 + 118, 60 - 15, 60 - 20).
  const COLORREF close_hovered = RGB(178, 45, 40);
  // 37 %: the fill ends at 54 + 37 * 612 / 100 = 280.
  expect_pixels(canvas, {
                            {"background", 5, 600, RGB(0x1E, 0x1E, 0x1E)},
                            {"background right edge", 719, 619, RGB(0x1E, 0x1E, 0x1E)},
                            {"title bar", 100, 20, RGB(0x3C, 0x3C, 0x3C)},
                            {"close button", 683, 3, close_hovered},
                            {"header strip", 10, 50, RGB(0x25, 0x25, 0x26)},
                            {"header line", 10, 75, RGB(0x33, 0x33, 0x33)},
                            {"components card", 40, 300, RGB(0x25, 0x25, 0x26)},
                            {"separator", 300, 253, RGB(0x37, 0x37, 0x39)},
                            {"progress fill", 100, 473, RGB(0x00, 0x7A, 0xCC)},
                            {"progress fill end", 276, 473, RGB(0x00, 0x7A, 0xCC)},
                            {"progress track", 300, 473, RGB(0x33, 0x33, 0x33)},
                            {"primary fill", 582, 540, RGB(14, 99, 156)},
                            {"primary border", 600, 536, RGB(17, 119, 187)},
                            {"ok icon, row 0", 67, 276, RGB(0x53, 0xD5, 0x9C)},
                            {"missing icon, row 4", 67, 412, RGB(0xFF, 0x8C, 0x70)},
                            {"pending icon, row 5", 67, 446, RGB(0x40, 0xA9, 0xFF)},
                        });
}

// The sheen lands 1:1 at (291, 6): its edges away from the badge text show
// the bitmap's own pixels.
TEST(GdiPainterTest, CopiesTheSheenOneToOne) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  MainView view = sample_view();
  view.intro_tick = 4;
  const DrawList list = layout_main_window(view, HoverLevels{});
  const BitmapStep* sheen = nullptr;
  for (const DrawOp& op : list.ops) {
    if (const auto* step = std::get_if<BitmapStep>(&op.shape)) {
      sheen = step;
    }
  }
  ASSERT_NE(sheen, nullptr);
  ASSERT_TRUE(paint_double_buffered(canvas.dc(), kWidth, kHeight, list, SolidImages().source()));
  for (auto [c, r] : {std::pair{2, 5}, {3, 11}, {5, 16}, {134, 10}, {136, 8}}) {
    const size_t at = (static_cast<size_t>(r) * 138 + c) * 4;
    const COLORREF expected = RGB(sheen->bgr0[at + 2], sheen->bgr0[at + 1], sheen->bgr0[at]);
    const COLORREF actual = canvas.at(291 + c, 6 + r);
    EXPECT_EQ(actual, expected) << "sheen pixel c=" << c << " r=" << r << ": " << describe(actual)
                                << " instead of " << describe(expected);
  }
}

// The bitmap is cut to its clip, and the clip does not outlive its step.
TEST(GdiPainterTest, BitmapStaysInsideItsClipAndTheClipEndsWithIt) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  DrawList list;
  list.fill(1, {0, 0, kWidth, kHeight}, Rgb{255, 255, 255});
  std::vector<uint8_t> red;
  for (int i = 0; i < 40 * 40; ++i) {
    red.insert(red.end(), {0, 0, 255, 0});
  }
  list.bitmap(2, BitmapStep{10, 10, 40, 40, red, Rect{10, 10, 30, 30}, 4});
  list.fill(3, {35, 35, 60, 60}, Rgb{0, 0, 255});
  ASSERT_TRUE(paint_double_buffered(canvas.dc(), kWidth, kHeight, list, {}));
  expect_pixels(canvas, {
                            {"inside the clip", 20, 20, RGB(255, 0, 0)},
                            {"bitmap outside the clip", 32, 15, RGB(255, 255, 255)},
                            {"fill after the clip", 40, 40, RGB(0, 0, 255)},
                            {"fill after the clip, far corner", 59, 59, RGB(0, 0, 255)},
                        });
}

TEST(GdiPainterTest, RoundedBoxHasAOnePixelBorderAroundItsFill) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  DrawList list;
  list.fill(1, {0, 0, kWidth, kHeight}, Rgb{0, 0, 0});
  list.rounded_box(2, {100, 100, 200, 150}, Rgb{0, 200, 0}, Rgb{200, 0, 0}, 3);
  ASSERT_TRUE(paint_double_buffered(canvas.dc(), kWidth, kHeight, list, {}));
  expect_pixels(canvas, {
                            {"top border", 150, 100, RGB(200, 0, 0)},
                            {"left border", 100, 125, RGB(200, 0, 0)},
                            {"fill", 150, 101, RGB(0, 200, 0)},
                            {"fill centre", 150, 125, RGB(0, 200, 0)},
                            {"bottom border", 150, 149, RGB(200, 0, 0)},
                            {"below the box", 150, 151, RGB(0, 0, 0)},
                        });
}

TEST(GdiPainterTest, SkipsImagesTheSourceCannotGive) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  DrawList list;
  list.fill(1, {0, 0, kWidth, kHeight}, Rgb{1, 2, 3});
  list.image(2, ImageStep{ImageId::kStartupEmblem, 10, 10, 512, 512, 92, 92, true});
  list.image(2, ImageStep{ImageId::kIconOk, 200, 10, 20, 20, 20, 20, false});  // wrong size
  list.image(2, ImageStep{ImageId::kIconOk, 400, 10, 18, 18, 18, 18, false});
  const SolidImages images;
  ASSERT_TRUE(paint_double_buffered(canvas.dc(), kWidth, kHeight, list, images.source()));
  expect_pixels(canvas, {
                            {"no emblem", 40, 40, RGB(1, 2, 3)},
                            {"icon of the wrong size", 205, 15, RGB(1, 2, 3)},
                            {"icon", 405, 15, RGB(0x53, 0xD5, 0x9C)},
                            {"right of the icon", 418, 15, RGB(1, 2, 3)},
                        });
}

// Text is drawn inside its rectangle in its colour and nowhere else.
TEST(GdiPainterTest, TextStaysInsideItsRectangle) {
  Canvas canvas;
  ASSERT_TRUE(canvas.ready());
  DrawList list;
  list.fill(1, {0, 0, kWidth, kHeight}, Rgb{0, 0, 0});
  const Rect rect{20, 20, 80, 50};
  list.text(2, TextStep{rect, "HHHHHHHHHHHHHHHHHHHHHHHHHHHH", 20, 700, TextAlign::kLeft,
                        Rgb{255, 255, 255}});
  ASSERT_TRUE(paint_double_buffered(canvas.dc(), kWidth, kHeight, list, {}));
  int inside = 0;
  int outside = 0;
  for (int y = 0; y < 70; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool lit = canvas.at(x, y) != RGB(0, 0, 0);
      const bool in_rect = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
      (in_rect ? inside : outside) += lit ? 1 : 0;
    }
  }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(outside, 0);
}

}  // namespace
}  // namespace velmo
