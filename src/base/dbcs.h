#pragma once
#include <cstddef>
#include <string_view>

namespace rk {

// Tells whether a byte starts a two-byte character in some ANSI code page.
using LeadBytePredicate = bool (*)(unsigned char);

// Code page 950 (Big5): lead bytes 0x81-0xFE. Trail bytes range over
// 0x40-0x7E and 0xA1-0xFE, so a trail byte can look like '\\', '[' or a letter.
[[nodiscard]] bool IsCp950LeadByte(unsigned char byte);
// A single-byte code page (and UTF-8 paths, whose bytes never mimic ASCII).
[[nodiscard]] bool NoLeadByte(unsigned char byte);
// The lead-byte rule of the running system's ANSI code page (backend).
[[nodiscard]] bool SystemLeadByte(unsigned char byte);

// Index of the last byte equal to `c` that is a character of its own (never
// the trail byte of a two-byte character), or npos.
[[nodiscard]] std::size_t FindLastChar(std::string_view text, char c, LeadBytePredicate isLead);

// ASCII case-insensitive equality that compares two-byte characters exactly,
// so a trail byte 'A' never matches a trail byte 'a'.
[[nodiscard]] bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b,
                                         LeadBytePredicate isLead);

}  // namespace rk
