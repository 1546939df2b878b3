#pragma once
#include <string>
#include <string_view>

#include "base/dbcs.h"
#include "config/profile_store.h"

namespace rk {

// The platform's path separator ('\\' on Windows, '/' elsewhere).
extern const char kPathSeparator;

// Full path of the running executable (backend); empty when it cannot be had.
[[nodiscard]] std::string ExecutablePath();

// The client's root: the folder above the one that holds the executable.
// * Cuts at the last separator twice; a separator at index 0 or none at all
//   empties the text. Two-byte characters are stepped over, so a folder whose
//   name ends in a trail byte 0x5C is never cut inside a character.
// * The result never ends in a separator (C:\A\Reachkit.exe gives "C:").
[[nodiscard]] std::string RootFromExecutablePath(std::string_view exePath, char separator,
                                                 LeadBytePredicate isLead);

// The path without the separators at its end: a root typed as "C:\\Client\\"
// names "C:\\Client".
// * The first byte always stays (a lone "/" is the POSIX root).
// * A trail byte 0x5C ends its character (功 is A5 5C) and is never taken for
//   a separator.
[[nodiscard]] std::string_view WithoutTrailingSeparators(std::string_view path, char separator,
                                                         LeadBytePredicate isLead);

// RootFromExecutablePath of this process, computed once and kept; while the
// result is empty (an executable in a drive's root) it is computed again at
// each call, with the same result.
[[nodiscard]] const std::string& ClientRootDirectory();

// The client's configuration files under one root: the root, exactly one
// separator and the relative path, found on disk as FindOnDisk finds it (a
// "\\" in a name read from the client's files is a separator too).
class ClientPaths {
 public:
  explicit ClientPaths(std::string root, char separator = kPathSeparator);
  [[nodiscard]] static ClientPaths FromProcess() { return ClientPaths(ClientRootDirectory()); }

  [[nodiscard]] std::string SysFilePath(std::string_view name) const;
  [[nodiscard]] std::string QuoteSettingsPath() const;  // Sys/ZentickConSet.ini
  [[nodiscard]] std::string ToolSettingsPath() const;   // Sys/Reachkit.ini
  [[nodiscard]] std::string BaseConfigPath() const;     // Bin/BaseConfig.ini
  // Sys/ + "FileName" of section "Config" in Sys/O_Tradedesk.ini, by default
  // VekTradedesk.ini; the name is appended unchanged, even when empty.
  [[nodiscard]] std::string PlatformHostFilePath(ProfileStore& profile) const;

  [[nodiscard]] const std::string& root() const { return root_; }
  [[nodiscard]] char separator() const { return separator_; }

 private:
  std::string root_;
  char separator_;
};

inline constexpr char kQuoteSettingsFileName[] = "ZentickConSet.ini";

}  // namespace rk
