#include "controls/group_layout.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

TEST(GroupLayout, SeparatorRunsFromTitleTo15BeforeRightEdge) {
  struct Row {
    PixelRect title;
    int clientWidth;
    PixelRect expectedLine;
  };
  const Row rows[] = {
      {{11, 10, 54, 23}, 383, {56, 18, 368, 20}},   // (10 + 23) / 2 + 2 = 18
      {{11, 36, 33, 49}, 383, {35, 44, 368, 46}},
      {{0, 0, 10, 1}, 100, {12, 2, 85, 4}},
      {{0, 0, 10, 1}, 20, {12, 2, 5, 4}},           // too narrow: width goes negative, as computed
  };
  for (const Row& row : rows) {
    const GroupPlacement placement = PlaceGroup(row.title, row.clientWidth, 300, std::nullopt, 15);
    EXPECT_EQ(placement.line, row.expectedLine) << "client width " << row.clientWidth;
    EXPECT_EQ(placement.line.height(), 2);
    EXPECT_EQ(placement.line.right, row.clientWidth - 15);
  }
}

TEST(GroupLayout, ContentBetweenTitleAndNextTitleOrBottom) {
  struct Row {
    const char* what;
    PixelRect title;
    std::optional<int> nextTitleTop;
    int gap;
    PixelRect expected;
  };
  const PixelRect title{11, 10, 54, 23};
  const Row rows[] = {
      {"next title, gap 3", title, 36, 3, {30, 26, 353, 33}},
      {"next title, gap 7", title, 104, 7, {30, 30, 353, 97}},
      {"last group ends 30 above the bottom", title, std::nullopt, 15, {30, 38, 353, 330}},
      {"gap 0 means 15", title, 104, 0, {30, 38, 353, 89}},
      {"gap 0 without a next title", title, std::nullopt, 0, {30, 38, 353, 330}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PlaceGroup(row.title, 383, 360, row.nextTitleTop, row.gap).content, row.expected)
        << row.what;
  }
}

TEST(GroupLayout, SettingsButtonsShareTheRowFiveApart) {
  struct Row {
    PixelRect content;
    PixelRect first, second;
  };
  const Row rows[] = {
      {{30, 30, 353, 97}, {30, 30, 189, 97}, {194, 30, 353, 97}},  // 323 - 5 = 318, even
      {{30, 30, 354, 97}, {30, 30, 189, 97}, {194, 30, 353, 97}},  // odd pixel stays at the right
      {{0, 0, 5, 10}, {0, 0, 0, 10}, {5, 0, 5, 10}},
  };
  for (const Row& row : rows) {
    const auto buttons = SplitSettingsRow(row.content);
    EXPECT_EQ(buttons[0], row.first);
    EXPECT_EQ(buttons[1], row.second);
  }
}

TEST(GroupLayout, ToolButtonsEqualWidthsUnderTheCombo) {
  struct Row {
    PixelRect combo;
    int expectedWidth;
  };
  const Row rows[] = {
      {{30, 120, 353, 141}, 77},  // 323 - 15 = 308 / 4 = 77, nothing left over
      {{30, 120, 356, 141}, 77},  // 3 pixels left over at the right end
      {{0, 0, 15, 20}, 0},
  };
  for (const Row& row : rows) {
    const auto buttons = ToolButtonRow(row.combo);
    for (size_t i = 0; i < buttons.size(); ++i) {
      EXPECT_EQ(buttons[i].width(), row.expectedWidth) << "button " << i;
      EXPECT_EQ(buttons[i].top, row.combo.bottom + 5);
      EXPECT_EQ(buttons[i].height(), 66);
      EXPECT_EQ(buttons[i].left, i == 0 ? row.combo.left : buttons[i - 1].right + 5);
    }
    EXPECT_EQ(row.combo.right - buttons.back().right,
              (row.combo.width() - 15) % 4) << "leftover at the right end";
  }
}

TEST(GroupLayout, ResultListStarts76BelowComboAndFillsToContentBottom) {
  const PixelRect content{30, 128, 353, 470};
  const PixelRect combo{30, 128, 353, 149};
  const PixelRect list = ResultListRect(content, combo);
  EXPECT_EQ(list, (PixelRect{30, 225, 353, 470}));
  EXPECT_EQ(list.top - combo.bottom, 76);
}

}  // namespace
}  // namespace rk
