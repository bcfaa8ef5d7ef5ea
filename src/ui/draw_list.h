#ifndef VELMO_UI_DRAW_LIST_H_
#define VELMO_UI_DRAW_LIST_H_

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "ui/image_id.h"
#include "ui/rect.h"
#include "ui/rgb.h"

namespace velmo {

// A solid rectangle (FillRect).
struct FillStep {
  Rect rect;
  Rgb colour;
};

// A rectangle with rounded corners, a solid fill and a one-pixel border;
// `corner` is the corner's diameter on both axes (RoundRect).
struct RoundedBoxStep {
  Rect rect;
  Rgb fill;
  Rgb border;
  int corner = 0;
};

enum class TextAlign {
  kLeft,
  kCentre,
  kRight,
};

// One line of text, vertically centred in `rect` and cut with an ellipsis
// when too long. `size` is the character height in pixels.
struct TextStep {
  Rect rect;
  std::string utf8;
  int size = 0;
  int weight = 0;
  TextAlign align = TextAlign::kLeft;
  Rgb colour;
};

// An embedded image, copied from its full source size to the destination
// size at (x, y). Smooth scaling is asked for only where the size changes.
struct ImageStep {
  ImageId image = ImageId::kIconOk;
  int x = 0;
  int y = 0;
  int source_width = 0;
  int source_height = 0;
  int dest_width = 0;
  int dest_height = 0;
  bool smooth_scaling = false;
};

// A computed bitmap (top-down rows, 4 bytes a pixel: blue, green, red, 0),
// copied 1:1 at (x, y) but only inside a rounded clip, so its corners follow
// the box under it.
struct BitmapStep {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr0;
  Rect clip;
  int clip_corner = 0;
};

using DrawShape = std::variant<FillStep, RoundedBoxStep, TextStep, ImageStep, BitmapStep>;

// One drawing step. `element` numbers the layout's element the step belongs
// to (the layout defines the numbers), so a reader can tell which row of the
// painting order produced it.
struct DrawOp {
  int element = 0;
  DrawShape shape;
};

// What one paint draws, in order: later steps cover earlier ones. Pure data,
// so layouts are tested without a screen and a painter executes any layout.
struct DrawList {
  std::vector<DrawOp> ops;

  void fill(int element, Rect rect, Rgb colour) {
    ops.push_back({element, FillStep{rect, colour}});
  }
  void rounded_box(int element, Rect rect, Rgb fill, Rgb border, int corner) {
    ops.push_back({element, RoundedBoxStep{rect, fill, border, corner}});
  }
  void text(int element, TextStep step) { ops.push_back({element, std::move(step)}); }
  void image(int element, ImageStep step) { ops.push_back({element, step}); }
  void bitmap(int element, BitmapStep step) { ops.push_back({element, std::move(step)}); }
};

}  // namespace velmo

#endif  // VELMO_UI_DRAW_LIST_H_
