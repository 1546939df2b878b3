#pragma once
// Portable: no platform headers, so the placement rule is tested natively.
#include "ui/geometry.h"

namespace rk::ui {

// The top-left corner of a window of `width` x `height` centred on `over`
// (its owner's window rectangle, or the work area of its monitor when it has
// no owner to centre on), each half rounded toward zero, then moved back
// inside `workArea` as far as it fits. A window larger than the work area
// keeps its top-left corner in it, so its caption stays within reach.
[[nodiscard]] constexpr PixelPoint CentredPlacement(const PixelRect& over, int width,
                                                     int height, const PixelRect& workArea) {
  PixelPoint at{over.left + (over.width() - width) / 2, over.top + (over.height() - height) / 2};
  if (at.x + width > workArea.right) at.x = workArea.right - width;
  if (at.y + height > workArea.bottom) at.y = workArea.bottom - height;
  if (at.x < workArea.left) at.x = workArea.left;
  if (at.y < workArea.top) at.y = workArea.top;
  return at;
}

}  // namespace rk::ui
