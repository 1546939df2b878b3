#include "dialogs/settings_commands_win32.h"

#include <optional>

#include "ui/dialog_layer_win32.h"

#include "config/client_paths.h"
#include "config/verified_write.h"
#include "dialogs/connect_setting_dlg_win32.h"
#include "dialogs/connect_setting_form.h"
#include "dialogs/proxy_setting_dlg_win32.h"

namespace rk {

void RunProxySettingDialog(HWND owner) {
  ProxySettingDlg dialog(SystemProfileStore(), ClientPaths::FromProcess(), owner);
  (void)dialog.DoModal();  // OK has written both files; Cancel writes nothing more
}

bool RunConnectSettingDialog(HWND owner) {
  std::optional<SaveError> failed;
  const bool confirmed = OnConnectSetting(SystemProfileStore(), ClientPaths::FromProcess(),
                                          [owner](ConnectSettingForm& form) {
                                            CConnectSettingDlg dialog(form, owner);
                                            return dialog.DoModal() == IDOK;
                                          },
                                          &failed);
  // The user must know when the preference did not stick.
  if (failed) ui::AppMessageBox(owner, SaveErrorText(*failed).c_str(), MB_OK | MB_ICONERROR);
  return confirmed;
}

}  // namespace rk
