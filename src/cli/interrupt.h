#pragma once
#include "diagnostics/stop_flag.h"

namespace rk::cli {

// Ctrl+C, SIGTERM (POSIX) or a console control event (Windows) sets the
// returned flag instead of ending the process, so a running test can stop its
// waits, print its end line and let the program exit with kExitInterrupted.
// * The first call installs the handlers; later calls return the same flag.
// * The flag is only ever set, never cleared.
[[nodiscard]] const StopFlag& InstallInterruptHandler();

}  // namespace rk::cli
