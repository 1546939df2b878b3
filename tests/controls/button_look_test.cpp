#include "controls/button_look.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

TEST(ButtonLook, DisabledWinsThenPressedThenHover) {
  struct Row {
    bool disabled, pressed, hover;
    ButtonLook expected;
  };
  const Row rows[] = {
      {false, false, false, ButtonLook::Normal},   {false, false, true, ButtonLook::Hover},
      {false, true, false, ButtonLook::Pressed},   {false, true, true, ButtonLook::Pressed},
      {true, false, false, ButtonLook::Disabled},  {true, false, true, ButtonLook::Disabled},
      {true, true, false, ButtonLook::Disabled},   {true, true, true, ButtonLook::Disabled},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ChooseLook(row.disabled, row.pressed, row.hover), row.expected)
        << "disabled=" << row.disabled << " pressed=" << row.pressed << " hover=" << row.hover;
  }
}

TEST(ButtonLook, PictureCentredWithTruncationAndPressedOffset) {
  struct Row {
    int left, top, right, bottom, width, height;
    bool pressed;
    PixelPoint expected;
  };
  const Row rows[] = {
      {0, 0, 70, 70, 64, 64, false, {3, 3}},        // room to spare
      {0, 0, 70, 70, 64, 64, true, {5, 5}},         // pressed: 2 right, 2 down
      {0, 0, 65, 65, 64, 64, false, {0, 0}},        // 32 - 32: the odd pixel drops
      {0, 0, 40, 40, 64, 64, false, {-12, -12}},    // smaller than the picture
      {0, 0, 40, 40, 64, 64, true, {-10, -10}},
      {0, 0, 189, 66, 192, 64, false, {-2, 1}},     // a wide picture in a narrower button
      {-5, -5, 0, 0, 3, 3, false, {-3, -3}},        // -10 / 2 and -3 / 2 truncate toward 0
      {10, 20, 84, 90, 64, 64, false, {15, 23}},    // a rectangle that does not start at 0
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CentredOrigin(row.left, row.top, row.right, row.bottom, row.width, row.height,
                            row.pressed),
              row.expected)
        << row.left << "," << row.top << "," << row.right << "," << row.bottom << " picture "
        << row.width << "x" << row.height << " pressed=" << row.pressed;
  }
}

TEST(ButtonLook, ShadeIsRedPartMinusTwentyWrapping) {
  struct Row {
    ColorRef face;
    ColorRef expected;
  };
  const Row rows[] = {
      {MakeColorRef(240, 240, 240), MakeColorRef(220, 220, 220)},  // the standard face
      {MakeColorRef(10, 200, 30), MakeColorRef(246, 246, 246)},    // wraps below 0
      {MakeColorRef(20, 0, 0), MakeColorRef(0, 0, 0)},
      {MakeColorRef(100, 7, 250), MakeColorRef(80, 80, 80)},       // only red counts
      {MakeColorRef(0, 255, 255), MakeColorRef(236, 236, 236)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ShadeFromFace(row.face), row.expected) << std::hex << row.face;
  }
}

TEST(ButtonLook, ColorRefKeepsRedInTheLowByte) {
  EXPECT_EQ(MakeColorRef(0x12, 0x34, 0x56), 0x00563412u);
}

}  // namespace
}  // namespace rk
