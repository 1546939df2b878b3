#pragma once
// Portable: no platform headers, so the rule is tested natively.
#include <string>
#include <string_view>

namespace rk {

// The version as the window title shows it: the FileVersion text with every
// blank (0x20) removed, then cut before its last '.' ("4.0.1.0" gives
// "4.0.1"); a text without '.' stays whole ("1, 0, 0, 1" gives "1,0,0,1").
[[nodiscard]] inline std::string VersionForTitle(std::string_view fileVersion) {
  std::string version;
  version.reserve(fileVersion.size());
  for (const char c : fileVersion)
    if (c != ' ') version.push_back(c);
  const std::size_t lastDot = version.rfind('.');
  if (lastDot != std::string::npos) version.resize(lastDot);
  return version;
}

}  // namespace rk
