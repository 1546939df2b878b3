#include "controls/group_layout.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

// Title (11, 10)-(54, 23) in a client area 383 x 360.
TEST(GroupLayout, SeparatorTo15BeforeTheEdgeContent30InBetweenTitles) {
  const struct {
    std::optional<int> nextTitleTop;
    int gap;
    PixelRect content;
  } rows[] = {{36, 3, {30, 26, 353, 33}},
              {104, 0, {30, 38, 353, 89}},             // gap 0 means 15
              {std::nullopt, 15, {30, 38, 353, 330}}};  // the last group: 30 above the bottom
  for (const auto& row : rows) {
    const GroupPlacement placed = PlaceGroup({11, 10, 54, 23}, 383, 360, row.nextTitleTop, row.gap);
    EXPECT_EQ(placed.content, row.content) << row.gap;
    EXPECT_EQ(placed.line, (PixelRect{56, 18, 368, 20}));  // (10 + 23) / 2 + 2 = 18
  }
}

TEST(GroupLayout, RowsOfEqualButtonsFiveApartLeftoverAtTheRightListBelow) {
  for (int right : {353, 354}) {  // (323 - 5) / 2 = 159
    const auto settings = SplitSettingsRow({30, 30, right, 97});
    EXPECT_EQ(settings[0], (PixelRect{30, 30, 189, 97}));
    EXPECT_EQ(settings[1], (PixelRect{194, 30, 353, 97}));
  }
  for (int right : {353, 356}) {  // (323 - 15) / 4 = 77, under a closed combo box
    const auto tools = ToolButtonRow({30, 120, right, 141});
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(tools[size_t(i)], (PixelRect{30 + 82 * i, 146, 107 + 82 * i, 212})) << i;
  }
  EXPECT_EQ(ResultListRect({30, 128, 353, 470}, {30, 128, 353, 149}),
            (PixelRect{30, 225, 353, 470}));  // 76 below the combo box
}

TEST(GroupLayout, OneLineLabelGrowsOnlyWhenItsBandIsShorterThanALine) {
  const struct {
    PixelRect band;
    int lineHeight;
    PixelRect label;
  } rows[] = {{{30, 36, 550, 49}, 13, {30, 36, 550, 49}},  // fits exactly
              {{30, 36, 550, 49}, 10, {30, 36, 550, 49}},  // room to spare: unchanged
              {{30, 36, 550, 49}, 14, {30, 36, 550, 50}},  // one missing: below
              {{30, 36, 550, 49}, 16, {30, 35, 550, 51}},  // three: one above, two below
              {{30, 40, 550, 40}, 4, {30, 38, 550, 42}}};  // an empty band
  for (const auto& r : rows)
    EXPECT_EQ(AtLeastOneLine(r.band, r.lineHeight), r.label) << r.lineHeight;
}

}  // namespace
}  // namespace rk
