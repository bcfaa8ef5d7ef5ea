#ifndef VELMO_UI_RECT_H_
#define VELMO_UI_RECT_H_

namespace velmo {

// A rectangle in client pixels (left, top, right, bottom). The window's
// geometry is fixed and never scaled, so plain ints are enough.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }

  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// Button hit regions include their right and bottom edges.
constexpr bool contains_inclusive(const Rect& rect, int x, int y) {
  return x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom;
}

}  // namespace velmo

#endif  // VELMO_UI_RECT_H_
