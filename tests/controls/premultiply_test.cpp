#include "controls/premultiply.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace rk {
namespace {

using Pixel = std::array<uint8_t, 4>;  // blue, green, red, alpha

TEST(Premultiply, EachColourScaledByAlphaRoundedDown) {
  struct Row {
    Pixel before;
    Pixel after;
  };
  const Row rows[] = {
      {{255, 10, 200, 26}, {26, 1, 20, 26}},
      {{255, 255, 255, 0}, {0, 0, 0, 0}},          // fully transparent
      {{17, 128, 254, 255}, {17, 128, 254, 255}},  // fully opaque keeps its colours
      {{255, 255, 255, 128}, {128, 128, 128, 128}},
      {{1, 2, 3, 254}, {0, 1, 2, 254}},             // 1*254/255 = 0.99 -> 0
      {{0, 0, 0, 77}, {0, 0, 0, 77}},
  };
  for (const Row& row : rows) {
    Pixel pixel = row.before;
    Premultiply(pixel.data(), 1, 1, 4);
    EXPECT_EQ(pixel, row.after) << int(row.before[0]) << "," << int(row.before[1]) << ","
                                << int(row.before[2]) << "," << int(row.before[3]);
  }
}

// Every pixel of a picture is converted exactly once, whichever way its rows
// run, and the padding between rows is never touched.
TEST(Premultiply, CoversEveryPixelOfTopDownAndBottomUpRowsOnly) {
  constexpr int kWidth = 3, kHeight = 2, kPitch = kWidth * 4 + 4;  // 4 bytes of padding
  for (const bool bottomUp : {false, true}) {
    std::vector<uint8_t> buffer(kPitch * kHeight, 0xEE);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* p = buffer.data() + y * kPitch + x * 4;
        p[0] = 200, p[1] = 100, p[2] = 50, p[3] = 51;  // 20% alpha
      }
    uint8_t* top = bottomUp ? buffer.data() + (kHeight - 1) * kPitch : buffer.data();
    Premultiply(top, kWidth, kHeight, bottomUp ? -kPitch : kPitch);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* p = buffer.data() + y * kPitch + x * 4;
        EXPECT_EQ((Pixel{p[0], p[1], p[2], p[3]}), (Pixel{40, 20, 10, 51}))
            << "pixel " << x << "," << y << " bottomUp=" << bottomUp;
      }
      for (int pad = kWidth * 4; pad < kPitch; ++pad)
        EXPECT_EQ(buffer[static_cast<size_t>(y * kPitch + pad)], 0xEE) << "padding of row " << y;
    }
  }
}

TEST(Premultiply, EmptyPictureTouchesNothing) {
  Pixel pixel{255, 255, 255, 10};
  Premultiply(pixel.data(), 0, 1, 4);
  Premultiply(pixel.data(), 1, 0, 4);
  Premultiply(nullptr, 1, 1, 4);
  EXPECT_EQ(pixel, (Pixel{255, 255, 255, 10}));
}

}  // namespace
}  // namespace rk
