#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/platform.h"

namespace rk::cli {

namespace {

StopFlag g_interrupted{false};
static_assert(StopFlag::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void OnInterruptSignal(int) { g_interrupted.store(true); }

}  // namespace

const StopFlag& InstallInterruptHandler() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call the signal lands in returns at once, and
    // every wait polls the flag anyway.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
  }();
  (void)installed;
  return g_interrupted;
}

bool IsDirectory(const std::string& nativePath) {
  struct stat facts {};
  return ::stat(nativePath.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

bool OutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace rk::cli
