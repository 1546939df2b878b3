#pragma once
#include <windows.h>

#include <span>

#include "ui/dialog_layer_win32.h"
#include "dialogs/proxy_setting_form.h"

namespace rk {

// The proxy-setting dialog (template 129): copies the proxy keys between the
// two files as it opens, and writes both on OK. All rules live in
// ProxySettingForm; this class moves values between it and the controls.
class ProxySettingDlg final : public ui::DialogBase {
 public:
  // `profile` serves both files for the dialog's run.
  ProxySettingDlg(ProfileStore& profile, ClientPaths paths, HWND parent);

 protected:
  [[nodiscard]] std::span<const ui::CommandEntry> GetCommandMap() const override;
  void DoDataExchange(ui::DataExchange& exchange) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  void OnBnClickedNeedLoginInfo();
  void OnCbnSelchangeProxyType();
  void ShowControls(const ProxyControls& controls);
  void ShowEnabling(const ProxyControls& controls);

  ProxySettingForm m_form;
  ProxyControls m_shown;  // what the controls were last set to
  ui::ComboBox m_cmbProxyType;
  ui::Control m_edtProxyHost;
  ui::Control m_edtProxyPort;
  ui::CheckBox m_chkNeedLoginInfo;
  ui::Control m_edtUserId;
  ui::Control m_edtUserPassword;
  ui::Control m_stcHost;
  ui::Control m_stcPort;
  ui::Control m_stcUserId;
  ui::Control m_stcUserPs;
};

}  // namespace rk
