#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "probes/machine_facts.h"
#include "probes/stop_flag.h"

// What reachkit-cli needs from the platform beyond the portable core.
namespace rk::cli {

// Ctrl+C, SIGTERM (POSIX) or a console control event (Windows) sets the
// returned flag instead of ending the process, so a running test can stop its
// waits, print its end line and let the program exit with kExitInterrupted.
// * The first call installs the handlers; later calls return the same flag.
// * The flag is only ever set, never cleared.
[[nodiscard]] const StopFlag& InstallInterruptHandler();

// Whether a folder exists at the path, given in the platform's narrow
// encoding (UTF-8 on POSIX, the ANSI code page on Windows, which is read
// through the wide API: the C++ library would take the bytes for UTF-8).
[[nodiscard]] bool IsDirectory(const std::string& nativePath);

// Whether standard output is a terminal that takes ANSI cursor sequences
// (on Windows a console, switched to virtual-terminal processing).
[[nodiscard]] bool OutputIsTerminal();

// NativeTextToUtf8, MachineHostName, MachineIPv4Addresses and ReadFileFacts
// come from probes/machine_facts.h (the window's report needs them too).

}  // namespace rk::cli
