#include <errno.h>
#include <iconv.h>

#include "base/codepage.h"
#include "base/dbcs.h"

namespace rk {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  [[nodiscard]] bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can; returns the number of input bytes consumed
  // before an invalid or incomplete sequence.
  std::size_t Convert(std::string_view in, std::string& out) {
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[1024];
    while (left > 0) {
      char* dst = buffer;
      std::size_t room = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return in.size() - left;
  }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// One converter per direction and thread, opened on first use: opening one
// costs more than converting a line, and lists convert thousands of lines.
Converter& ToUtf8() {
  thread_local Converter conv("UTF-8", "CP950");
  return conv;
}
Converter& ToCp950() {
  thread_local Converter conv("CP950", "UTF-8");
  return conv;
}

}  // namespace

namespace {

// Converts one run of bytes at or above 0x80 (with the trail bytes of its
// two-byte characters): a byte that does not convert becomes U+FFFD.
std::string ConvertCp950Run(std::string_view cp950) {
  Converter& conv = ToUtf8();
  std::string out;
  if (!conv.ok()) {
    for (const char c : cp950) {
      if (static_cast<unsigned char>(c) < 0x80) out.push_back(c);
      else out += kReplacement;
    }
    return out;
  }
  while (!cp950.empty()) {
    const std::size_t used = conv.Convert(cp950, out);
    cp950.remove_prefix(used);
    if (cp950.empty()) break;
    out += kReplacement;  // one byte that does not convert, then go on
    cp950.remove_prefix(1);
  }
  return out;
}

}  // namespace

std::string Cp950ToUtf8(std::string_view cp950) {
  // ASCII passes as it is; the runs of two-byte characters between go to the
  // converter, and the last run is remembered, since a list repeats the same
  // words on every line ("交易主機-1", "交易主機-2", ...).
  thread_local std::string lastRun, lastUtf8;
  std::string out;
  out.reserve(cp950.size() + cp950.size() / 2);
  std::size_t i = 0;
  while (i < cp950.size()) {
    std::size_t j = i;
    while (j < cp950.size() && static_cast<unsigned char>(cp950[j]) < 0x80) ++j;
    out.append(cp950.substr(i, j - i));
    if (j == cp950.size()) break;
    i = j;
    while (j < cp950.size() && static_cast<unsigned char>(cp950[j]) >= 0x80)
      j += IsCp950LeadByte(static_cast<unsigned char>(cp950[j])) && j + 1 < cp950.size() ? std::size_t{2} : std::size_t{1};
    const std::string_view run = cp950.substr(i, j - i);
    if (run != lastRun) {
      lastUtf8 = ConvertCp950Run(run);
      lastRun = run;
    }
    out += lastUtf8;
    i = j;
  }
  return out;
}

std::string Utf8ToCp950(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  Converter& conv = ToCp950();
  std::string out;
  if (!conv.ok()) return std::string(utf8);
  while (!utf8.empty()) {
    const std::size_t used = conv.Convert(utf8, out);
    utf8.remove_prefix(used);
    if (utf8.empty()) break;
    // Skip the whole UTF-8 sequence that had no Big5 form; a character
    // beyond U+FFFF is two UTF-16 units, and Windows gives a '?' for each.
    std::size_t skip = 1;
    while (skip < utf8.size() && (static_cast<unsigned char>(utf8[skip]) & 0xC0) == 0x80) ++skip;
    out += skip == 4 ? "??" : "?";
    utf8.remove_prefix(skip);
  }
  return out;
}

namespace {
std::optional<std::string> ConvertExact(const char* to, const char* from, std::string_view in) {
  Converter conv(to, from);
  if (!conv.ok()) return std::nullopt;
  std::string out;
  if (conv.Convert(in, out) != in.size()) return std::nullopt;
  // A one-way mapping (two Big5 codes for one character) is no exact form.
  Converter back(from, to);
  std::string again;
  if (!back.ok() || back.Convert(out, again) != out.size() || again != in) return std::nullopt;
  return out;
}
}  // namespace

std::optional<std::string> Cp950ToUtf8Exact(std::string_view cp950) {
  return ConvertExact("UTF-8", "CP950", cp950);
}

std::optional<std::string> Utf8ToCp950Exact(std::string_view utf8) {
  return ConvertExact("CP950", "UTF-8", utf8);
}

std::string ToConsoleText(std::string_view cp950) { return Cp950ToUtf8(cp950); }

std::string FromConsoleText(std::string_view console) { return Utf8ToCp950(console); }

std::optional<std::string> FromConsoleTextExact(std::string_view console) {
  return Utf8ToCp950Exact(console);
}

// File names on POSIX are UTF-8 or single-byte: no byte ever hides a separator.
bool SystemLeadByte(unsigned char byte) { return NoLeadByte(byte); }

}  // namespace rk
