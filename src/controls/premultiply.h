#pragma once
#include <cstddef>
#include <cstdint>

namespace rk {

// Converts a 32-bit picture (bytes blue, green, red, alpha per pixel) to the
// premultiplied form that per-pixel alpha blending expects: each colour byte
// becomes value * alpha / 255, rounded down; alpha stays.
// * `topRow` points at the first byte of the top row; `pitch` is the byte
//   distance from one row to the next, negative for a bottom-up bitmap.
// * A null buffer or a size of 0 touches nothing.
void Premultiply(uint8_t* topRow, int width, int height, std::ptrdiff_t pitch);

}  // namespace rk
