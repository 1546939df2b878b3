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
  const std::optional<ProxyKeyFamily> family = KeyFamilyOf(type);
  if (!family) return controls;
  if (family->offersLogin()) {
    controls.needLoginEnabled = true;
    const std::string& user = settings.*family->user;
    if (!user.empty()) {
      controls.needLoginChecked = true;
      EnableLogin(controls, true);
      controls.userText = user;
      controls.passwordText = settings.*family->password;
    }
  }
  controls.hostLabelEnabled = controls.hostEditEnabled = true;
  controls.portLabelEnabled = controls.portEditEnabled = true;
  controls.hostText = settings.*family->host;
  controls.portText = settings.*family->port;
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
  if (const std::optional<ProxyKeyFamily> family = KeyFamilyOf(type)) {
    const bool loginOffered = family->offersLogin();
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
    m_settings.*family->host = input.host;
    m_settings.*family->port = input.port;
    if (loginOffered) {
      m_settings.*family->user = login ? input.user : std::string();
      m_settings.*family->password = login ? input.password : std::string();
    }
  }
  m_saveFailure = SaveProxySettings(m_settings, m_profile, m_strToolSettingsPath);
  std::optional<SaveError> base = SaveProxySettings(m_settings, m_profile, m_paths.BaseConfigPath());
  if (!m_saveFailure) m_saveFailure = std::move(base);
  return nullptr;
}

}  // namespace rk
