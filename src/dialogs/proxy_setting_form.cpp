#include "dialogs/proxy_setting_form.h"

#include <sys/stat.h>

#include <utility>

#include "base/format.h"
#include "base/texts.h"

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

void EnableLogin(ProxyControls& controls, bool enabled) {
  controls.userLabelEnabled = enabled;
  controls.userEditEnabled = enabled;
  controls.passwordLabelEnabled = enabled;
  controls.passwordEditEnabled = enabled;
}

}  // namespace

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

void SaveProxySettings(const ProxySettings& settings, ProfileStore& profile,
                       const std::string& path) {
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i)
    (void)profile.WriteString(kProxySection, kProxyKeys[i], settings.ValueText(i), path);
}

bool HoldsProxyKeys(ProfileStore& profile, const std::string& path) {
  for (const char* key : kProxyKeys)
    if (profile.GetString(kProxySection, key, kMissing, kProfileBufferSize, path) != kMissing)
      return true;
  return false;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

ProxyControls ShowProxyType(const ProxySettings& settings, int32_t type) {
  ProxyControls controls;  // every edit empty, every control disabled, box unchecked
  if (type < kProxyHttp11 || type > kProxySocks5) return controls;
  if (type == kProxyHttp11 || type == kProxySocks5) {
    controls.needLoginEnabled = true;
    const bool socks = type == kProxySocks5;
    const std::string& user = socks ? settings.m_strSocksUserName : settings.m_strUserName;
    if (!user.empty()) {
      controls.needLoginChecked = true;
      EnableLogin(controls, true);
      controls.userText = user;
      controls.passwordText = socks ? settings.m_strSocksUserPassword : settings.m_strUserPassword;
    }
  }
  controls.hostLabelEnabled = controls.hostEditEnabled = true;
  controls.portLabelEnabled = controls.portEditEnabled = true;
  const bool http = type == kProxyHttp11;
  controls.hostText = http ? settings.m_strProxyServerName : settings.m_strSocksProxyServerName;
  controls.portText = http ? settings.m_strProxyPort : settings.m_strSocksProxyPort;
  return controls;
}

void OnNeedLoginInfoClicked(ProxyControls& controls, bool checked) {
  controls.needLoginChecked = checked;
  EnableLogin(controls, checked);
}

ProxySettingForm::ProxySettingForm(ProfileStore& profile, ClientPaths paths)
    : m_profile(profile), m_paths(std::move(paths)) {}

void ProxySettingForm::Open() {
  const std::string basePath = m_paths.BaseConfigPath();
  m_strToolSettingsPath = m_paths.ToolSettingsPath();
  const bool toolIsMaster =
      FileExists(m_strToolSettingsPath) && HoldsProxyKeys(m_profile, m_strToolSettingsPath);
  const std::string& source = toolIsMaster ? m_strToolSettingsPath : basePath;
  const std::string& target = toolIsMaster ? basePath : m_strToolSettingsPath;
  m_settings = LoadProxySettings(m_profile, source);
  SaveProxySettings(m_settings, m_profile, target);
  if (m_settings.m_nProxyType < kProxyNone || m_settings.m_nProxyType > kProxySocks5)
    m_settings.m_nProxyType = kProxyNone;
}

ProxyControls ProxySettingForm::OnSelChange(int selection) {
  m_settings.m_nProxyType = selection;
  return ShowProxyType(m_settings, selection);
}

const char* ProxySettingForm::OnOK(const ProxyInput& input) {
  // No selection (an empty list) or one past the five types is stored as
  // NONE, as a stored type outside the list is shown: the client never gets
  // a type that the dialog cannot show.
  const int32_t type = input.selection >= kProxyNone && input.selection <= kProxySocks5
                           ? input.selection
                           : kProxyNone;
  m_settings.m_nProxyType = type;
  if (type != kProxyNone) {
    const bool loginOffered = type == kProxyHttp11 || type == kProxySocks5;
    if (loginOffered && input.needLogin) {
      if (input.user.empty()) return text::kEnterUserId;
      if (input.password.empty()) return text::kEnterUserPassword;
    }
    // Blanks count as text here: only an edit with no characters is empty.
    if (input.host.empty()) return text::kEnterProxyHost;
    if (input.port.empty()) return text::kEnterProxyPort;
    const bool login = loginOffered && input.needLogin;
    if (type == kProxyHttp11) {
      m_settings.m_strProxyServerName = input.host;
      m_settings.m_strProxyPort = input.port;
      m_settings.m_strUserName = login ? input.user : std::string();
      m_settings.m_strUserPassword = login ? input.password : std::string();
    } else {
      m_settings.m_strSocksProxyServerName = input.host;
      m_settings.m_strSocksProxyPort = input.port;
      if (type == kProxySocks5) {
        m_settings.m_strSocksUserName = login ? input.user : std::string();
        m_settings.m_strSocksUserPassword = login ? input.password : std::string();
      }
    }
  }
  SaveProxySettings(m_settings, m_profile, m_strToolSettingsPath);
  SaveProxySettings(m_settings, m_profile, m_paths.BaseConfigPath());
  return nullptr;
}

}  // namespace rk
