#include "controls/group_layout.h"

namespace rk {

GroupPlacement PlaceGroup(const PixelRect& title, int clientWidth, int clientHeight,
                          std::optional<int> nextTitleTop, int gap) {
  if (gap == 0) gap = kDefaultGroupGap;
  GroupPlacement placement;
  const int lineLeft = title.right + 2;
  placement.line = RectFromSize(lineLeft, (title.top + title.bottom) / 2 + 2,
                                clientWidth - kLineEndMargin - lineLeft, 2);
  placement.content.left = kContentMargin;
  placement.content.right = clientWidth - kContentMargin;
  placement.content.top = title.bottom + gap;
  placement.content.bottom = nextTitleTop ? *nextTitleTop - gap : clientHeight - kContentMargin;
  return placement;
}

std::array<PixelRect, 2> SplitSettingsRow(const PixelRect& content) {
  const int width = (content.width() - kButtonSpacing) / 2;
  const PixelRect first = RectFromSize(content.left, content.top, width, content.height());
  const PixelRect second =
      RectFromSize(first.right + kButtonSpacing, content.top, width, content.height());
  return {first, second};
}

std::array<PixelRect, kToolButtonCount> ToolButtonRow(const PixelRect& combo) {
  const int width = (combo.width() - (kToolButtonCount - 1) * kButtonSpacing) / kToolButtonCount;
  std::array<PixelRect, kToolButtonCount> row{};
  int x = combo.left;
  for (PixelRect& button : row) {
    button = RectFromSize(x, combo.bottom + kButtonSpacing, width, kToolButtonHeight);
    x = button.right + kButtonSpacing;
  }
  return row;
}

PixelRect ResultListRect(const PixelRect& content, const PixelRect& combo) {
  const int top = combo.bottom + kButtonSpacing + kToolButtonHeight + kButtonSpacing;
  return {content.left, top, content.right, content.bottom};
}

}  // namespace rk
