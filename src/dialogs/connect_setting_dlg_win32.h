#pragma once
#include <windows.h>

#include "ui/dialog_layer_win32.h"
#include "dialogs/connect_setting_form.h"

namespace rk {

// The connect-setting dialog (template 148): moves control values to and
// from a ConnectSettingForm, which decides everything.
class CConnectSettingDlg final : public ui::DialogBase {
 public:
  // `form` outlives the dialog and receives the confirmed values.
  CConnectSettingDlg(ConnectSettingForm& form, HWND parent);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  ConnectSettingForm& m_form;  // not owned
};

}  // namespace rk
