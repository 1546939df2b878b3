#include <windows.h>

#include <climits>
#include <string>

#include "cli/platform.h"

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

bool IsDirectory(const std::string& nativePath) {
  if (nativePath.empty() || nativePath.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const int size = static_cast<int>(nativePath.size());
  const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, nativePath.data(), size, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, nativePath.data(), size, wide.data(), n) != n)
    return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool OutputIsTerminal() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == INVALID_HANDLE_VALUE || GetConsoleMode(out, &mode) == 0) return false;
  return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace rk::cli
