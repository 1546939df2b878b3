#include "controls/button_look.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

TEST(ButtonLook, DisabledWinsOverPressedWhichWinsOverHover) {
  using enum ButtonLook;
  const struct {
    bool disabled, pressed, hover;
    ButtonLook look;
  } rows[] = {{false, false, false, Normal},  {false, false, true, Hover},
              {false, true, true, Pressed},    {false, true, false, Pressed},
              {true, true, true, Disabled},    {true, false, false, Disabled}};
  for (const auto& r : rows)
    EXPECT_EQ(ChooseLook(r.disabled, r.pressed, r.hover), r.look) << r.disabled << r.pressed;
}

TEST(ButtonLook, PictureCentredWithTruncatingDivisionAndPressedOffset) {
  const struct {
    int left, top, right, bottom, width, height;
    bool pressed;
    PixelPoint at;
  } rows[] = {{0, 0, 70, 70, 64, 64, false, {3, 3}},    {0, 0, 70, 70, 64, 64, true, {5, 5}},
              {0, 0, 65, 65, 64, 64, false, {0, 0}},    {0, 0, 40, 40, 64, 64, false, {-12, -12}},
              {0, 0, 189, 66, 192, 64, false, {-2, 1}}, {-5, -5, 0, 0, 3, 3, false, {-3, -3}},
              {10, 20, 84, 90, 64, 64, false, {15, 23}}};
  for (const auto& r : rows)
    EXPECT_EQ(CentredOrigin(r.left, r.top, r.right, r.bottom, r.width, r.height, r.pressed), r.at)
        << r.left << "," << r.top << "," << r.right << "," << r.bottom << " pressed " << r.pressed;
}

TEST(ButtonLook, FocusCueRunsThreePixelsInsideOrNotAtAll) {
  const struct {
    CueRect item, cue;
  } rows[] = {{{0, 0, 70, 66}, {3, 3, 67, 63}},    {{10, 20, 84, 90}, {13, 23, 81, 87}},
              {{0, 0, 7, 7}, {3, 3, 4, 4}},        {{0, 0, 6, 40}, {3, 3, 3, 3}},
              {{0, 0, 40, 5}, {3, 3, 3, 3}},       {{0, 0, 0, 0}, {3, 3, 3, 3}}};
  for (const auto& r : rows)
    EXPECT_EQ(FocusCueRect(r.item), r.cue) << r.item.left << "," << r.item.top << ","
                                           << r.item.right << "," << r.item.bottom;
}

TEST(ButtonLook, ShadeIsGreyOfTheFaceRedMinusTwentyWrapping) {
  EXPECT_EQ(MakeColorRef(0x12, 0x34, 0x56), 0x00563412u);
  EXPECT_EQ(ShadeFromFace(MakeColorRef(240, 240, 240)), MakeColorRef(220, 220, 220));
  EXPECT_EQ(ShadeFromFace(MakeColorRef(10, 200, 30)), MakeColorRef(246, 246, 246));
  EXPECT_EQ(ShadeFromFace(MakeColorRef(100, 7, 250)), MakeColorRef(80, 80, 80));
}

}  // namespace
}  // namespace rk
