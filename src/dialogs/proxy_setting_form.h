#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/client_paths.h"
#include "config/verified_write.h"
#include "config/proxy_settings.h"

namespace rk {

// Texts and states of the controls for one proxy type. Labels and edits of a
// row are always enabled together but are reported one by one, as the window
// sets them.
struct ProxyControls {
  bool hostLabelEnabled = false;
  bool hostEditEnabled = false;
  bool portLabelEnabled = false;
  bool portEditEnabled = false;
  bool needLoginEnabled = false;
  bool needLoginChecked = false;
  bool userLabelEnabled = false;
  bool userEditEnabled = false;
  bool passwordLabelEnabled = false;
  bool passwordEditEnabled = false;
  std::string hostText;
  std::string portText;
  std::string userText;
  std::string passwordText;
  bool operator==(const ProxyControls&) const = default;
};

// What the dialog shows for `type`: everything empty and disabled for NONE
// and any value outside 1..4; host and port of the type's family; the login
// box offered for HTTP and SOCKS5, checked with the login shown when that
// family's stored user name is not empty (the password alone does not count).
[[nodiscard]] ProxyControls ShowProxyType(const ProxySettings& settings, int32_t type);

// A click on "Need LoginInfo": the user and password rows follow the box;
// texts are left as they are.
void OnNeedLoginInfoClicked(ProxyControls& controls, bool checked);

// The control values OnOK reads.
struct ProxyInput {
  int selection = 0;  // current entry of the type combo box
  bool needLogin = false;
  std::string host;
  std::string port;
  std::string user;
  std::string password;
};

// Everything the proxy-setting dialog decides, for one opening.
class ProxySettingForm {
 public:
  ProxySettingForm(ProfileStore& profile, ClientPaths paths);

  // The copy made while the dialog opens, then the type clamp:
  // * the master copy (FindProxyMasterCopy) overwrites the other file's nine
  //   keys, creating the tool's settings file when the base configuration is
  //   master;
  // * a type outside 0..4 is copied as it is, then shown and kept as 0.
  void Open();

  [[nodiscard]] const ProxySettings& Settings() const { return m_settings; }
  [[nodiscard]] int32_t ProxyType() const { return m_settings.m_nProxyType; }
  [[nodiscard]] const std::string& ToolSettingsPath() const { return m_strToolSettingsPath; }
  [[nodiscard]] std::string BaseConfigPath() const { return m_paths.BaseConfigPath(); }

  // ShowProxyType for the combo box's selection: the edits are refilled from
  // the values loaded at opening, so unconfirmed typing is discarded.
  [[nodiscard]] ProxyControls OnSelChange(int selection);

  // OnOK's checks in order (login user, login password, host, port), then
  // the take-over of the control values for the type and the save into the
  // tool's settings file and the base configuration, in that order.
  // * A selection outside the five types (none at all) counts as NONE.
  // * Returns nullptr when the checks passed (the dialog ends with OK), else
  //   the one message to show; nothing is then written.
  // * A save that did not stick is kept in SaveFailure().
  [[nodiscard]] const char* OnOK(const ProxyInput& input);
  [[nodiscard]] const std::optional<SaveError>& SaveFailure() const { return m_saveFailure; }

 private:
  ProfileStore& m_profile;  // not owned
  ClientPaths m_paths;
  std::string m_strToolSettingsPath;
  ProxySettings m_settings;
  std::optional<SaveError> m_saveFailure;
};

}  // namespace rk
