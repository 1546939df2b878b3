#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/client_paths.h"
#include "config/profile_store.h"

namespace rk {

// The proxy types: index of the combo box entry (NONE, HTTP11_PROXY,
// SOCK4_PROXY, SOCK4a_PROXY, SOCK5_PROXY, from the template's init data) and
// value of "ProxyType".
inline constexpr int32_t kProxyNone = 0;
inline constexpr int32_t kProxyHttp11 = 1;
inline constexpr int32_t kProxySocks4 = 2;
inline constexpr int32_t kProxySocks4a = 3;
inline constexpr int32_t kProxySocks5 = 4;

// Section "DC" holds the nine keys, always read and written as one set in
// this order, in the base configuration and in the tool's settings file.
inline constexpr char kProxySection[] = "DC";
inline constexpr std::array<const char*, 9> kProxyKeys = {
    "ProxyType",      "ProxyServerName", "ProxyPort",
    "UserName",       "UserPassword",    "SOCKSProxyServerName",
    "SOCKSProxyPort", "SOCKSUserName",   "SOCKSUserPassword"};

struct ProxySettings {
  int32_t m_nProxyType = kProxyNone;
  std::string m_strProxyServerName;
  std::string m_strProxyPort;
  std::string m_strUserName;
  std::string m_strUserPassword;
  std::string m_strSocksProxyServerName;
  std::string m_strSocksProxyPort;
  std::string m_strSocksUserName;
  std::string m_strSocksUserPassword;

  // The stored text of key i of kProxyKeys ("%d" of the type for key 0).
  [[nodiscard]] std::string ValueText(std::size_t keyIndex) const;
  bool operator==(const ProxySettings&) const = default;
};

// Reads the nine keys of section "DC" (type 0 and empty texts when missing;
// texts cut to 259 bytes).
[[nodiscard]] ProxySettings LoadProxySettings(ProfileStore& profile, const std::string& path);
// Writes the nine keys into section "DC" in key order; results not looked at.
void SaveProxySettings(const ProxySettings& settings, ProfileStore& profile,
                       const std::string& path);
// Whether section "DC" of the file holds at least one of the nine keys, even
// with an empty value.
[[nodiscard]] bool HoldsProxyKeys(ProfileStore& profile, const std::string& path);
// Whether a file (or folder) exists at `path`.
[[nodiscard]] bool FileExists(const std::string& path);

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
  // * the tool's settings file is the master copy when it exists AND holds
  //   at least one proxy key; its nine keys then overwrite the base
  //   configuration's. Otherwise the base configuration's keys are copied into
  //   the tool's file (creating it). The tool's file is also written by the
  //   connection preferences, so it can exist with no proxy key at all; taking
  //   it as master then would wipe the client's proxy setting with type 0
  //   and empty texts.
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
  // * Returns nullptr when saved (the dialog ends with OK), else the one
  //   message to show; nothing is then written.
  [[nodiscard]] const char* OnOK(const ProxyInput& input);

 private:
  ProfileStore& m_profile;  // not owned
  ClientPaths m_paths;
  std::string m_strToolSettingsPath;
  ProxySettings m_settings;
};

}  // namespace rk
