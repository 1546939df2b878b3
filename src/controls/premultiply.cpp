#include "controls/premultiply.h"

namespace rk {

void Premultiply(uint8_t* topRow, int width, int height, std::ptrdiff_t pitch) {
  if (topRow == nullptr || width <= 0 || height <= 0) return;
  for (int y = 0; y < height; ++y) {
    uint8_t* pixel = topRow + pitch * y;
    for (int x = 0; x < width; ++x, pixel += 4) {
      const unsigned alpha = pixel[3];
      for (int channel = 0; channel < 3; ++channel) {
        pixel[channel] = static_cast<uint8_t>(pixel[channel] * alpha / 255u);
      }
    }
  }
}

}  // namespace rk
