#include "dialogs/proxy_setting_form.h"

#include <utility>

#include "base/texts.h"
#include "dialogs/connect_setting_form.h"

namespace rk {

namespace {

void EnableLogin(ProxyControls& controls, bool enabled) {
  controls.userLabelEnabled = enabled;
  controls.userEditEnabled = enabled;
  controls.passwordLabelEnabled = enabled;
  controls.passwordEditEnabled = enabled;
}

}  // namespace

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
  m_strToolSettingsPath = m_paths.ToolSettingsPath();
  const ProxyMasterCopy copy = FindProxyMasterCopy(m_profile, m_paths);
  m_settings = LoadProxySettings(m_profile, copy.masterPath);
  (void)SaveProxySettings(m_settings, m_profile, copy.copyPath);
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
    // Checked before anything is taken: a port the proxy cannot have is
    // never written to either file.
    if (!ParsePortNumber(input.port)) return text::kPortOutOfRange;
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
  m_saveFailure = SaveProxySettings(m_settings, m_profile, m_strToolSettingsPath);
  std::optional<SaveError> base = SaveProxySettings(m_settings, m_profile, m_paths.BaseConfigPath());
  if (!m_saveFailure) m_saveFailure = std::move(base);
  return nullptr;
}

}  // namespace rk
