#include "base/format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace rk {

namespace {

// The list lines ("交易主機-%d : %s:%d", ten thousand of them for a large catalogue) use only
// %s and %d: those are expanded here, several times cheaper than the C library's formatter.
// False, with `out` unspecified, for anything else (flags, widths, other conversions, a null
// text), which the caller then hands to the C library with a fresh copy of the arguments.
bool FormatPlain(const char* format, va_list args, std::string& out) {
  for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p + 2, '%'))
    if (p[1] != 's' && p[1] != 'd' && p[1] != '%') return false;
  const char* p = format;
  while (const char* percent = std::strchr(p, '%')) {
    out.append(p, static_cast<std::size_t>(percent - p));
    if (percent[1] == 's') {
      const char* text = va_arg(args, const char*);
      if (text == nullptr) return false;
      out.append(text);
    } else if (percent[1] == 'd') {
      char digits[16];
      out.append(digits, std::to_chars(digits, digits + sizeof digits, va_arg(args, int)).ptr);
    } else {
      out += '%';
    }
    p = percent + 2;
  }
  out.append(p);
  return true;
}

}  // namespace

std::string FormatV(const char* format, va_list args) {
  {
    std::string out;
    va_list plain;
    va_copy(plain, args);
    const bool done = FormatPlain(format, plain, out);
    va_end(plain);
    if (done) return out;
  }
  // Most lines fit a small buffer: one pass then, a second only for long ones
  // (a catalogue of 10,000 labels spends its time here otherwise).
  char small[256];
  va_list retry;
  va_copy(retry, args);
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  if (needed <= 0) {
    va_end(retry);
    return {};
  }
  if (static_cast<std::size_t>(needed) < sizeof small) {
    va_end(retry);
    return std::string(small, static_cast<std::size_t>(needed));
  }
  std::string out(static_cast<std::size_t>(needed) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, retry);
  va_end(retry);
  out.resize(static_cast<std::size_t>(needed));
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

std::string DurationText(double ms) {
  if (ms < 1000) return Format("%.0f ms", ms < 0 ? 0.0 : ms);
  const auto seconds = static_cast<long long>(std::llround(ms / 1000));
  if (seconds < 60) return Format("%lld s", seconds);
  if (seconds < 3600) return Format("%lld min %02lld s", seconds / 60, seconds % 60);
  return Format("%lld h %02lld min", seconds / 3600, seconds % 3600 / 60);
}

}  // namespace rk
