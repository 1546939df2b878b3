#include <windows.h>

#include <string>

#include "config/client_paths.h"

namespace rk {

const char kPathSeparator = '\\';

// In the ANSI code page, as every path of this program: the kernel32 A
// functions take the same bytes back (code page 950 under a zh-TW system).
// The buffer grows past MAX_PATH for a deep folder; a name cut short would
// name another root.
std::string ExecutablePath() {
  std::string buffer(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD n =
        GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.assign(buffer.size() * 2, '\0');
  }
  return {};
}

}  // namespace rk
