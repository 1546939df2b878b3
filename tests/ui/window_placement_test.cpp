#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace rk::ui {
namespace {

// A work area of 1280 x 984 below a 40-pixel bar.
constexpr PixelRect kWork{0, 40, 1280, 1024};

TEST(WindowPlacement, CentredOnTheOwnerOrTheWorkAreaAndKeptInside) {
  const struct {
    PixelRect over;
    int width, height;
    PixelPoint at;
  } rows[] = {
      {kWork, 580, 555, {350, 254}},                 // main window on its work area
      {kWork, 581, 556, {349, 254}},                 // odd leftovers round toward zero
      {{350, 254, 930, 809}, 240, 160, {520, 451}},  // a dialog over the main window
      {{-400, 100, 0, 400}, 240, 160, {0, 170}},     // owner off the left edge: pulled in
      {{1100, 900, 1400, 1100}, 240, 160, {1040, 864}},  // off the bottom right
      {{10, 50, 20, 60}, 300, 200, {0, 40}},         // small owner near the corner
      {kWork, 1500, 1100, {0, 40}},                  // larger than the work area: corner in
  };
  for (const auto& r : rows)
    EXPECT_EQ(CentredPlacement(r.over, r.width, r.height, kWork), r.at)
        << r.over.left << "," << r.over.top << " " << r.width << "x" << r.height;
}

}  // namespace
}  // namespace rk::ui
