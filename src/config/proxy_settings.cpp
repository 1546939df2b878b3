#include "config/proxy_settings.h"

#include "base/format.h"
#include "config/file_io.h"

namespace rk {

namespace {

// The text members in key order (keys 1..8 of kProxyKeys).
constexpr std::array<std::string ProxySettings::*, 8> kTextMembers = {
    &ProxySettings::m_strProxyServerName,
    &ProxySettings::m_strProxyPort,
    &ProxySettings::m_strUserName,
    &ProxySettings::m_strUserPassword,
    &ProxySettings::m_strSocksProxyServerName,
    &ProxySettings::m_strSocksProxyPort,
    &ProxySettings::m_strSocksUserName,
    &ProxySettings::m_strSocksUserPassword};

// A default that no stored value can equal: the profile functions hand back
// the default only for a missing key and "" for a key set to nothing, so a
// read with this default tells "missing" from "empty". No client writes
// DEL bytes into its INI files; kernel32 strips trailing blanks from a
// default, so the sentinel neither begins nor ends with one.
constexpr char kMissing[] = "\x7F<missing>\x7F";

}  // namespace

const char* ProxyTypeName(int32_t type) {
  switch (type) {
    case kProxyHttp11: return "HTTP";
    case kProxySocks4: return "SOCKS4";
    case kProxySocks4a: return "SOCKS4a";
    case kProxySocks5: return "SOCKS5";
    default: return nullptr;
  }
}

std::optional<ProxyKeyFamily> KeyFamilyOf(int32_t type) {
  using S = ProxySettings;
  switch (type) {
    case kProxyHttp11:
      return ProxyKeyFamily{&S::m_strProxyServerName, &S::m_strProxyPort, &S::m_strUserName,
                            &S::m_strUserPassword};
    case kProxySocks4:
    case kProxySocks4a:
      return ProxyKeyFamily{&S::m_strSocksProxyServerName, &S::m_strSocksProxyPort, nullptr,
                            nullptr};
    case kProxySocks5:
      return ProxyKeyFamily{&S::m_strSocksProxyServerName, &S::m_strSocksProxyPort,
                            &S::m_strSocksUserName, &S::m_strSocksUserPassword};
    default:
      return std::nullopt;
  }
}

std::string ProxySettings::ValueText(std::size_t keyIndex) const {
  if (keyIndex == 0) return Format("%d", m_nProxyType);
  return this->*kTextMembers[keyIndex - 1];
}

ProxySettings LoadProxySettings(ProfileStore& profile, const std::string& path) {
  ProxySettings settings;
  settings.m_nProxyType = profile.GetInt(kProxySection, kProxyKeys[0], 0, path);
  for (std::size_t i = 0; i < kTextMembers.size(); ++i)
    settings.*kTextMembers[i] =
        profile.GetString(kProxySection, kProxyKeys[i + 1], "", kProfileBufferSize, path);
  return settings;
}

std::optional<SaveError> SaveProxySettings(const ProxySettings& settings, ProfileStore& profile,
                                           const std::string& path) {
  std::optional<SaveError> first;
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i) {
    std::optional<SaveError> failed =
        WriteVerified(profile, kProxySection, kProxyKeys[i], settings.ValueText(i), path);
    if (failed && !first) first = std::move(failed);
  }
  return first;
}

std::array<bool, 9> StoredProxyKeys(ProfileStore& profile, const std::string& path) {
  std::array<bool, 9> stored{};
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i)
    stored[i] = profile.GetString(kProxySection, kProxyKeys[i], kMissing, kProfileBufferSize,
                                  path) != kMissing;
  return stored;
}

bool HoldsProxyKeys(ProfileStore& profile, const std::string& path) {
  for (const bool stored : StoredProxyKeys(profile, path))
    if (stored) return true;
  return false;
}

bool FileExists(const std::string& path) {
  return !path.empty() && fileio::StatFile(path).state != fileio::FileState::Missing;
}

ProxyMasterCopy FindProxyMasterCopy(ProfileStore& profile, const ClientPaths& paths) {
  ProxyMasterCopy copy;
  const std::string toolPath = paths.ToolSettingsPath();
  copy.toolFileIsMaster = FileExists(toolPath) && HoldsProxyKeys(profile, toolPath);
  copy.masterPath = copy.toolFileIsMaster ? toolPath : paths.BaseConfigPath();
  copy.copyPath = copy.toolFileIsMaster ? paths.BaseConfigPath() : toolPath;
  return copy;
}

}  // namespace rk
