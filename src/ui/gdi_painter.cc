#include "ui/gdi_painter.h"

#include <string>
#include <variant>

#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

constexpr wchar_t kFontFace[] = L"Microsoft YaHei UI";

COLORREF colour_ref(Rgb colour) {
  return RGB(colour.r, colour.g, colour.b);
}

RECT win_rect(const Rect& rect) {
  return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

UINT alignment_flag(TextAlign align) {
  switch (align) {
    case TextAlign::kLeft:
      return DT_LEFT;
    case TextAlign::kCentre:
      return DT_CENTER;
    case TextAlign::kRight:
      return DT_RIGHT;
  }
  return DT_LEFT;
}

// The header that tells GDI the layout of a DibView: 32-bit, top-down.
BITMAPINFO top_down_info(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

void draw_fill(HDC dc, const FillStep& step) {
  UniqueBrush brush(::CreateSolidBrush(colour_ref(step.colour)));
  if (!brush) {
    return;
  }
  const RECT rect = win_rect(step.rect);
  ::FillRect(dc, &rect, brush.get());
}

void draw_rounded_box(HDC dc, const RoundedBoxStep& step) {
  UniqueBrush brush(::CreateSolidBrush(colour_ref(step.fill)));
  UniquePen pen(::CreatePen(PS_SOLID, 1, colour_ref(step.border)));
  if (!brush || !pen) {
    return;
  }
  ScopedSelectObject select_brush(dc, brush.get());
  ScopedSelectObject select_pen(dc, pen.get());
  ::RoundRect(dc, step.rect.left, step.rect.top, step.rect.right, step.rect.bottom, step.corner,
              step.corner);
}

void draw_text(HDC dc, const TextStep& step) {
  UniqueFont font(::CreateFontW(-step.size, 0, 0, 0, step.weight, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace));
  if (!font) {
    return;
  }
  ScopedSelectObject select_font(dc, font.get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, colour_ref(step.colour));
  std::wstring wide = to_wide(step.utf8);
  RECT rect = win_rect(step.rect);
  const UINT flags =
      DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | alignment_flag(step.align);
  ::DrawTextW(dc, wide.data(), static_cast<int>(wide.size()), &rect, flags);
}

void copy_pixels(HDC dc, int x, int y, int dest_width, int dest_height, const DibView& pixels) {
  const BITMAPINFO info = top_down_info(pixels.width, pixels.height);
  ::StretchDIBits(dc, x, y, dest_width, dest_height, 0, 0, pixels.width, pixels.height,
                  pixels.bgr0.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void draw_image(HDC dc, const ImageStep& step, const ImageSource& images) {
  const std::optional<DibView> pixels = images ? images(step.image) : std::nullopt;
  if (!pixels || !pixels->complete() || pixels->width != step.source_width ||
      pixels->height != step.source_height) {
    return;
  }
  if (!step.smooth_scaling) {
    copy_pixels(dc, step.x, step.y, step.dest_width, step.dest_height, *pixels);
    return;
  }
  const int saved = ::SaveDC(dc);
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);  // HALFTONE needs the brush origin reset
  copy_pixels(dc, step.x, step.y, step.dest_width, step.dest_height, *pixels);
  ::RestoreDC(dc, saved);
}

// The clip region is selected as a copy, so ours is deleted right away; the
// DC's own clip comes back with RestoreDC.
void draw_bitmap(HDC dc, const BitmapStep& step) {
  const DibView pixels{step.width, step.height, step.bgr0};
  if (!pixels.complete()) {
    return;
  }
  const int saved = ::SaveDC(dc);
  if (saved == 0) {
    return;
  }
  {
    UniqueRegion clip(::CreateRoundRectRgn(step.clip.left, step.clip.top, step.clip.right,
                                           step.clip.bottom, step.clip_corner, step.clip_corner));
    if (clip) {
      ::SelectClipRgn(dc, clip.get());
      copy_pixels(dc, step.x, step.y, step.width, step.height, pixels);
    }
  }
  ::RestoreDC(dc, saved);
}

class StepPainter {
 public:
  StepPainter(HDC dc, const ImageSource& images) : dc_(dc), images_(images) {}

  void operator()(const FillStep& step) const { draw_fill(dc_, step); }
  void operator()(const RoundedBoxStep& step) const { draw_rounded_box(dc_, step); }
  void operator()(const TextStep& step) const { draw_text(dc_, step); }
  void operator()(const ImageStep& step) const { draw_image(dc_, step, images_); }
  void operator()(const BitmapStep& step) const { draw_bitmap(dc_, step); }

 private:
  HDC dc_;
  const ImageSource& images_;
};

}  // namespace

void draw_steps(HDC dc, const DrawList& list, const ImageSource& images) {
  const StepPainter painter(dc, images);
  for (const DrawOp& op : list.ops) {
    std::visit(painter, op.shape);
  }
}

bool paint_double_buffered(HDC target,
                           int width,
                           int height,
                           const DrawList& list,
                           const ImageSource& images) {
  UniqueMemoryDc memory(::CreateCompatibleDC(target));
  UniqueBitmap bitmap(::CreateCompatibleBitmap(target, width, height));
  if (!memory || !bitmap) {
    return false;
  }
  ScopedSelectObject select_bitmap(memory.get(), bitmap.get());
  draw_steps(memory.get(), list, images);
  return ::BitBlt(target, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY) != FALSE;
}

}  // namespace velmo
