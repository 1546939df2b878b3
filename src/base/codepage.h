#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace rk {

// Code page 950 bytes to UTF-8 for a terminal. A byte or pair that does not
// convert becomes U+FFFD; nothing is dropped silently.
[[nodiscard]] std::string Cp950ToUtf8(std::string_view cp950);

// UTF-8 to code page 950; a character without a Big5 form becomes '?'.
[[nodiscard]] std::string Utf8ToCp950(std::string_view utf8);

// Exact conversions for text that is compared or written: nothing when the
// input is not valid in its encoding or a character has no exact form in the
// other one (an emoji has no Big5 form); never a substitute character.
[[nodiscard]] std::optional<std::string> Cp950ToUtf8Exact(std::string_view cp950);
[[nodiscard]] std::optional<std::string> Utf8ToCp950Exact(std::string_view utf8);

// Text for the terminal: UTF-8 on POSIX, the code page bytes unchanged on
// Windows (whose console speaks the ANSI code page).
[[nodiscard]] std::string ToConsoleText(std::string_view cp950);
// The reverse, for command-line arguments.
[[nodiscard]] std::string FromConsoleText(std::string_view console);
// The same for text that is compared or written: nothing when a character
// has no exact code page 950 form.
[[nodiscard]] std::optional<std::string> FromConsoleTextExact(std::string_view console);

}  // namespace rk
