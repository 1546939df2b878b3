#pragma once
// The one rectangle and point of the window code (ui/, controls/, app/):
// portable, so the arithmetic on them is tested natively. Coordinates are
// pixels of whichever space the caller says (a client area, the screen).
namespace rk {

// Right and bottom exclusive.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  [[nodiscard]] constexpr int width() const { return right - left; }
  [[nodiscard]] constexpr int height() const { return bottom - top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct PixelPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

[[nodiscard]] constexpr PixelRect RectFromSize(int x, int y, int width, int height) {
  return {x, y, x + width, y + height};
}

}  // namespace rk
