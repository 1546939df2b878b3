#pragma once
#include <cstdint>

#include "ui/geometry.h"

namespace rk {

// The four ways an image button can look at a paint.
enum class ButtonLook { Normal, Hover, Pressed, Disabled };

// The look of one paint. Disabled wins over pressed, pressed over hover, so a
// disabled button that is also held down still shows its disabled picture.
[[nodiscard]] constexpr ButtonLook ChooseLook(bool disabled, bool pressed, bool hover) {
  if (disabled) return ButtonLook::Disabled;
  if (pressed) return ButtonLook::Pressed;
  if (hover) return ButtonLook::Hover;
  return ButtonLook::Normal;
}

// How far a pressed button's picture moves right and down.
inline constexpr int kPressedOffset = 2;

// Top-left corner of a picture of `width` x `height` centred in the item
// rectangle (left, top, right, bottom): (left + right) / 2 - width / 2, with
// C++'s truncating division, so a picture larger than its button shows its
// middle and may start at a negative position. A pressed look moves it by
// kPressedOffset in both directions.
[[nodiscard]] constexpr PixelPoint CentredOrigin(int left, int top, int right, int bottom,
                                                 int width, int height, bool pressed) {
  PixelPoint at{(left + right) / 2 - width / 2, (top + bottom) / 2 - height / 2};
  if (pressed) {
    at.x += kPressedOffset;
    at.y += kPressedOffset;
  }
  return at;
}

struct CueRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const CueRect&, const CueRect&) = default;
};

// How far inside the item rectangle the keyboard focus cue runs.
inline constexpr int kFocusCueInset = 3;

// The dotted focus cue of an image button: the item rectangle moved in by
// kFocusCueInset on every side, so it never touches the button's edge; a
// button too small for that gets an empty rectangle (no cue) rather than an
// inverted one.
[[nodiscard]] constexpr CueRect FocusCueRect(const CueRect& item) {
  CueRect cue{item.left + kFocusCueInset, item.top + kFocusCueInset, item.right - kFocusCueInset,
              item.bottom - kFocusCueInset};
  if (cue.right <= cue.left || cue.bottom <= cue.top) return {cue.left, cue.top, cue.left, cue.top};
  return cue;
}

// Colours as the platform's COLORREF: 0x00BBGGRR.
using ColorRef = uint32_t;

[[nodiscard]] constexpr ColorRef MakeColorRef(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<ColorRef>(red) | (static_cast<ColorRef>(green) << 8) |
         (static_cast<ColorRef>(blue) << 16);
}

// The background of a hovered or pressed button: a grey whose three parts
// are the face colour's red part minus 20, wrapping modulo 256 (a face with
// red 10 gives 246). Green and blue of the face play no part.
[[nodiscard]] constexpr ColorRef ShadeFromFace(ColorRef face) {
  const auto grey = static_cast<uint8_t>((face & 0xFFu) - 20u);
  return MakeColorRef(grey, grey, grey);
}

}  // namespace rk
