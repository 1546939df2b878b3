#include "base/format.h"

#include <cstdio>

namespace rk {

std::string FormatV(const char* format, va_list args) {
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

}  // namespace rk
