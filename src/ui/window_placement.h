#pragma once
// Portable: no platform headers, so the placement rule is tested natively.

namespace rk::ui {

// A rectangle in screen pixels (right and bottom exclusive).
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  [[nodiscard]] constexpr int width() const { return right - left; }
  [[nodiscard]] constexpr int height() const { return bottom - top; }
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The top-left corner of a window of `width` x `height` centred on `over`
// (its owner's window rectangle, or the work area of its monitor when it has
// no owner to centre on), each half rounded toward zero, then moved back
// inside `workArea` as far as it fits. A window larger than the work area
// keeps its top-left corner in it, so its caption stays within reach.
[[nodiscard]] constexpr ScreenPoint CentredPlacement(const ScreenRect& over, int width,
                                                     int height, const ScreenRect& workArea) {
  ScreenPoint at{over.left + (over.width() - width) / 2, over.top + (over.height() - height) / 2};
  if (at.x + width > workArea.right) at.x = workArea.right - width;
  if (at.y + height > workArea.bottom) at.y = workArea.bottom - height;
  if (at.x < workArea.left) at.x = workArea.left;
  if (at.y < workArea.top) at.y = workArea.top;
  return at;
}

}  // namespace rk::ui
