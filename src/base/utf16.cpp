#include "base/utf16.h"

#include <cstdint>

namespace rk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUnit(std::string& out, char32_t unit, bool bigEndian) {
  const auto high = static_cast<char>((unit >> 8) & 0xFF);
  const auto low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

// The next code point of UTF-8 text at i (advancing i), U+FFFD for a byte
// that does not start a well-formed sequence.
char32_t NextUtf8(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t c = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1Fu; min = 0x80; }
  else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0Fu; min = 0x800; }
  else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07u; min = 0x10000; }
  else return kReplacement;
  std::size_t j = i;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (static_cast<unsigned char>(s[j]) & 0x3Fu);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  i = j;
  return c;
}

}  // namespace

Utf16Decoded Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  Utf16Decoded out;
  out.utf8.reserve(bytes.size());
  const auto unitAt = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? static_cast<char32_t>(a << 8 | b) : static_cast<char32_t>(b << 8 | a);
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out.utf8, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out.utf8, kReplacement);
      out.exact = false;
      continue;
    }
    AppendUtf8(out.utf8, unit);
  }
  if (i < bytes.size()) {
    AppendUtf8(out.utf8, kReplacement);
    out.exact = false;
  }
  return out;
}

std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian) {
  std::string out;
  out.reserve(utf8.size() * 2);
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = NextUtf8(utf8, i);
    if (c >= 0x10000) {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
    } else {
      AppendUnit(out, c, bigEndian);
    }
  }
  return out;
}

}  // namespace rk
