#pragma once
#include <array>
#include <optional>

#include "ui/geometry.h"

namespace rk {

// The main window's groups: a title at the left, a separator line running
// from the title to 15 pixels before the right edge, and a content rectangle
// 30 pixels in from both sides.
inline constexpr int kContentMargin = 30;
inline constexpr int kLineEndMargin = 15;
inline constexpr int kDefaultGroupGap = 15;
inline constexpr int kButtonSpacing = 5;
inline constexpr int kToolButtonHeight = 66;
inline constexpr int kToolButtonCount = 4;

struct GroupPlacement {
  PixelRect line;     // where the separator goes (2 pixels high)
  PixelRect content;  // what the group's controls fill
};

// Places one group under its title.
// * `gap` 0 means kDefaultGroupGap; it separates the content from the title
//   above and from the next group's title below (`nextTitleTop`); without a
//   next title the content ends kContentMargin above the bottom.
[[nodiscard]] GroupPlacement PlaceGroup(const PixelRect& title, int clientWidth, int clientHeight,
                                        std::optional<int> nextTitleTop, int gap);

// The two settings buttons side by side in `content`, 5 pixels apart, each
// (width - 5) / 2 wide; an odd pixel left over stays at the right.
[[nodiscard]] std::array<PixelRect, 2> SplitSettingsRow(const PixelRect& content);

// The row of the four tool buttons under the closed combo box `combo`:
// equal widths (combo width - 15) / 4, 5 pixels apart, 66 high, starting 5
// pixels below the combo box; leftover pixels stay at the right end.
[[nodiscard]] std::array<PixelRect, kToolButtonCount> ToolButtonRow(const PixelRect& combo);

// The result list: the content's width, from 76 pixels below the closed combo
// box down to the content's bottom.
[[nodiscard]] PixelRect ResultListRect(const PixelRect& content, const PixelRect& combo);

// A one-line label's rectangle: `band` itself when a line of `lineHeight`
// pixels fits in it, else grown to exactly one line, centred on the band
// (the extra pixel of an odd growth below), so no line is ever clipped.
[[nodiscard]] constexpr PixelRect AtLeastOneLine(const PixelRect& band, int lineHeight) {
  const int missing = lineHeight - band.height();
  if (missing <= 0) return band;
  return {band.left, band.top - missing / 2, band.right, band.bottom + (missing - missing / 2)};
}

}  // namespace rk
