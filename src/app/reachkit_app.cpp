// The program's entry: sockets, the main window's class, the main dialog.
#include <windows.h>

#include "ui/dialog_layer_win32.h"
#include "app/reachkit_dlg.h"
#include "probes/socket_startup.h"
#include "resource.h"

namespace rk {

// The application object: its whole run is the modal run of the main dialog.
class CReachkitApp {
 public:
  // Returns FALSE always: the program ends when the main dialog has closed.
  BOOL InitInstance();
};

BOOL CReachkitApp::InitInstance() {
  if (!EnsureSocketsStarted()) {
    ui::AppMessageBox(nullptr, IDS_SOCKETS_INIT_FAILED, MB_OK);
    return FALSE;
  }
  // The main dialog's template names the class "Reachkit": the system dialog
  // class under our own name, so the window can be found by its class.
  HINSTANCE instance = ui::ResourceInstance();
  WNDCLASSA windowClass{};
  if (GetClassInfoA(instance, "#32770", &windowClass)) {
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "Reachkit";
    RegisterClassA(&windowClass);
  }
  {
    CReachkitDlg dialog(nullptr);
    dialog.DoModal();
  }
  return FALSE;
}

CReachkitApp theApp;

}  // namespace rk

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  rk::theApp.InitInstance();
  return 0;
}
