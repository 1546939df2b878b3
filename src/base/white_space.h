#pragma once
#include <string_view>

namespace rk {

// White space as the C library's isspace sees it in the "C" locale: space and
// the control bytes 0x09-0x0D. Never a byte of a two-byte character.
[[nodiscard]] constexpr bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

[[nodiscard]] constexpr std::string_view TrimWhiteSpace(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace rk
