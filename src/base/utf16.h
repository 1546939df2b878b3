#pragma once
#include <string>
#include <string_view>

namespace rk {

// UTF-16 file text (without its byte-order mark) and UTF-8, both ways.
// Pure arithmetic, the same on every platform.

struct Utf16Decoded {
  std::string utf8;
  // False when the input held an unpaired surrogate or an odd last byte: each
  // became U+FFFD, so encoding utf8 again would not give the input back.
  bool exact = true;
};
[[nodiscard]] Utf16Decoded Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// The UTF-8 text as UTF-16 bytes (no byte-order mark). Invalid UTF-8 bytes
// become U+FFFD.
[[nodiscard]] std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian);

}  // namespace rk
