#include "controls/premultiply.h"

#include <gtest/gtest.h>

#include <array>

namespace rk {
namespace {

using Pixel = std::array<uint8_t, 4>;  // blue, green, red, alpha

TEST(Premultiply, EachColourTimesAlphaOver255RoundedDown) {
  const Pixel rows[][2] = {
      {{255, 10, 200, 26}, {26, 1, 20, 26}},         {{255, 255, 255, 0}, {0, 0, 0, 0}},
      {{17, 128, 254, 255}, {17, 128, 254, 255}},    {{1, 2, 3, 254}, {0, 1, 2, 254}},
  };
  for (const auto& [before, after] : rows) {
    Pixel picture[2] = {before, before};  // the second pixel of the row as well
    Premultiply(picture[0].data(), 2, 1, 8);
    EXPECT_EQ(picture[0], after) << int(before[0]) << "," << int(before[3]);
    EXPECT_EQ(picture[1], after);
  }
  Premultiply(nullptr, 1, 1, 4);  // nothing to convert
}

}  // namespace
}  // namespace rk
