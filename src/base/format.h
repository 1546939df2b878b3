#pragma once
#include <cstdarg>
#include <string>

namespace rk {

#if defined(__MINGW32__)
#define RK_PRINTF_LIKE(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define RK_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

// printf-style formatting into a string of exactly the needed length.
// * Never truncates and never writes past a buffer; a format error gives "".
[[nodiscard]] std::string Format(const char* format, ...) RK_PRINTF_LIKE(1, 2);
[[nodiscard]] std::string FormatV(const char* format, va_list args) RK_PRINTF_LIKE(1, 0);

// A duration as people read it: "850 ms", "35 s", "2 min 05 s", "1 h 03 min".
[[nodiscard]] std::string DurationText(double ms);

}  // namespace rk
