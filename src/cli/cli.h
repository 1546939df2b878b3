#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "config/client_paths.h"
#include "config/profile_store.h"

namespace rk::cli {

// What every command of reachkit-cli gets.
struct Context {
  ClientPaths paths;
  ProfileStore& profile;
  bool raw = false;  // write code page 950 bytes as they are (else UTF-8 on POSIX)
  std::ostream& out;
  std::ostream& err;
};

// Exit codes: 0 done, 1 refused or failed, 2 usage.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Writes one line of system text (code page 950) followed by '\n', converted
// for the terminal unless raw, and flushes.
void WriteLine(const Context& context, std::ostream& stream, const std::string& cp950);

// Command-line arguments arrive in the terminal's encoding (UTF-8 on POSIX,
// the ANSI code page on Windows); this gives their code page 950 bytes.
[[nodiscard]] std::string ArgumentToCp950(const Context& context, const std::string& argument);

// set-preference LOCATION NMPORT PSPORT
int RunSetPreference(const Context& context, const std::vector<std::string>& args);
// proxy [--show-passwords]
int RunProxy(const Context& context, const std::vector<std::string>& args);

}  // namespace rk::cli
