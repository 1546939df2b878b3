#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <vector>

#include "base/codepage.h"
#include "cli/platform.h"
#include "diagnostics/socket_startup.h"

namespace rk::cli {

namespace {

StopFlag g_interrupted{false};

// Runs on a thread the system starts for the event. Ctrl+C and Ctrl+Break are
// taken (the process goes on and ends by itself); a closing console is only
// noted, since the system ends the process once the handler returns.
BOOL WINAPI OnConsoleControl(DWORD event) {
  g_interrupted.store(true);
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

}  // namespace

const StopFlag& InstallInterruptHandler() {
  static const bool installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
  (void)installed;
  return g_interrupted;
}

}  // namespace rk::cli
