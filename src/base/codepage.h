#pragma once
#include <string>
#include <string_view>

namespace rk {

// Code page 950 bytes to UTF-8 for a terminal. A byte or pair that does not
// convert becomes U+FFFD; nothing is dropped silently.
[[nodiscard]] std::string Cp950ToUtf8(std::string_view cp950);

// UTF-8 to code page 950; a character without a Big5 form becomes '?'.
[[nodiscard]] std::string Utf8ToCp950(std::string_view utf8);

}  // namespace rk
