#pragma once
// The two settings commands of the main window. They run their modal dialogs
// on the window's thread and are implemented beside the dialogs.
#include <windows.h>

namespace rk {

// Command 3000: the proxy-setting dialog, modal over `owner`. Writes both
// settings files on OK; the main window changes nothing afterwards.
void RunProxySettingDialog(HWND owner);

// Command 3001: the connect-setting dialog, modal over `owner`. On OK the
// chosen preference is stored and true is returned, so that the caller
// refreshes its preference label; Cancel stores nothing and returns false.
[[nodiscard]] bool RunConnectSettingDialog(HWND owner);

}  // namespace rk
