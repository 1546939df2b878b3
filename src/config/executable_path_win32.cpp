#include <windows.h>

#include <array>

#include "config/client_paths.h"

namespace rk {

const char kPathSeparator = '\\';

std::string ExecutablePath() {
  std::array<char, MAX_PATH> buffer{};
  const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::string(buffer.data(), n);
}

}  // namespace rk
