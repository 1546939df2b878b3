#include <windows.h>

#include "base/codepage.h"
#include "base/dbcs.h"

namespace rk {

namespace {

std::wstring ToWide(std::string_view text, UINT codePage, DWORD flags) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string FromWide(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

}  // namespace

// Invalid Big5 maps to U+FFFD through the system's default replacement.
std::string Cp950ToUtf8(std::string_view cp950) { return FromWide(ToWide(cp950, 950, 0), CP_UTF8); }

std::string Utf8ToCp950(std::string_view utf8) { return FromWide(ToWide(utf8, CP_UTF8, 0), 950); }

namespace {
std::optional<std::wstring> ToWideExact(std::string_view text, UINT codePage) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide.data(), n);
  return wide;
}

std::optional<std::string> FromWideExact(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, utf8 ? nullptr : &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::optional<std::string> ConvertExact(std::string_view in, UINT from, UINT to) {
  const std::optional<std::wstring> wide = ToWideExact(in, from);
  if (!wide) return std::nullopt;
  std::optional<std::string> out = FromWideExact(*wide, to);
  if (!out) return std::nullopt;
  const std::optional<std::wstring> back = ToWideExact(*out, to);
  if (!back || *back != *wide) return std::nullopt;
  return out;
}
}  // namespace

std::optional<std::string> Cp950ToUtf8Exact(std::string_view cp950) {
  return ConvertExact(cp950, 950, CP_UTF8);
}

std::optional<std::string> Utf8ToCp950Exact(std::string_view utf8) {
  return ConvertExact(utf8, CP_UTF8, 950);
}

std::string ToConsoleText(std::string_view cp950) { return std::string(cp950); }

std::string FromConsoleText(std::string_view console) { return std::string(console); }

std::optional<std::string> FromConsoleTextExact(std::string_view console) {
  return std::string(console);
}

bool SystemLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace rk
