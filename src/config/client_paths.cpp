#include "config/client_paths.h"

#include <array>

#include "config/path_lookup.h"

namespace rk {

namespace {

std::string CutAtLastSeparator(std::string_view path, char separator, LeadBytePredicate isLead) {
  const std::size_t at = FindLastChar(path, separator, isLead);
  if (at == std::string_view::npos || at == 0) return {};
  return std::string(path.substr(0, at));
}

// A name from the client's files in code page 950, with Windows' "\\"
// between folders, in this system's separator; two-byte characters are
// stepped over, so a trail byte 0x5C stays.
std::string WithSeparator(std::string_view name, char separator) {
  std::string out(name);
  if (separator == '\\') return out;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsCp950LeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == '\\') out[i] = separator;
  }
  return out;
}

}  // namespace

std::string RootFromExecutablePath(std::string_view exePath, char separator,
                                   LeadBytePredicate isLead) {
  const std::string folder = CutAtLastSeparator(exePath, separator, isLead);
  return CutAtLastSeparator(folder, separator, isLead);
}

std::string_view WithoutTrailingSeparators(std::string_view path, char separator,
                                           LeadBytePredicate isLead) {
  while (path.size() > 1 && FindLastChar(path, separator, isLead) == path.size() - 1)
    path.remove_suffix(1);
  return path;
}

const std::string& ClientRootDirectory() {
  static std::string cached;
  if (cached.empty()) cached = RootFromExecutablePath(ExecutablePath(), kPathSeparator, SystemLeadByte);
  return cached;
}

ClientPaths::ClientPaths(std::string root, char separator)
    : root_(std::move(root)), separator_(separator) {}

std::string ClientPaths::SysFilePath(std::string_view name) const {
  std::string path = root_;
  path += separator_;
  path += "Sys";
  path += separator_;
  path += WithSeparator(name, separator_);
  return FindOnDisk(path);
}

std::string ClientPaths::QuoteSettingsPath() const { return SysFilePath(kQuoteSettingsFileName); }

std::string ClientPaths::ToolSettingsPath() const { return SysFilePath("Reachkit.ini"); }

std::string ClientPaths::BaseConfigPath() const {
  std::string path = root_;
  path += separator_;
  path += "Bin";
  path += separator_;
  path += "BaseConfig.ini";
  return FindOnDisk(path);
}

std::string ClientPaths::PlatformHostFilePath(ProfileStore& profile) const {
  constexpr std::size_t kFileNameBuffer = 256;
  const std::string name =
      profile.GetString("Config", "FileName", "VekTradedesk.ini", kFileNameBuffer,
                        SysFilePath("O_Tradedesk.ini"));
  return SysFilePath(name);
}

}  // namespace rk
