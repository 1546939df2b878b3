#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/stop_flag.h"

// What reachkit-cli needs from the platform beyond the portable core.
namespace rk::cli {

// Ctrl+C, SIGTERM (POSIX) or a console control event (Windows) sets the
// returned flag instead of ending the process, so a running test can stop its
// waits, print its end line and let the program exit with kExitInterrupted.
// * The first call installs the handlers; later calls return the same flag.
// * The flag is only ever set, never cleared.
[[nodiscard]] const StopFlag& InstallInterruptHandler();

// A path or argument as the platform gave it (UTF-8 on POSIX, the ANSI code
// page on Windows) in UTF-8. Invalid bytes may remain: the JSON writer
// replaces them with U+FFFD.
[[nodiscard]] std::string NativeTextToUtf8(std::string_view native);

// Whether a folder exists at the path, given in the platform's narrow
// encoding (UTF-8 on POSIX, the ANSI code page on Windows, which is read
// through the wide API: the C++ library would take the bytes for UTF-8).
[[nodiscard]] bool IsDirectory(const std::string& nativePath);

// The machine's host name in UTF-8; empty when it cannot be had.
[[nodiscard]] std::string MachineHostName();

// The machine's IPv4 addresses (dotted), loopback included, in the order the
// system lists its interfaces; empty when they cannot be had.
[[nodiscard]] std::vector<std::string> MachineIPv4Addresses();

// What the report says of one configuration file.
struct FileFacts {
  bool exists = false;
  uint64_t size = 0;
  int64_t modifiedUnix = 0;  // seconds since 1970-01-01 UTC
};
[[nodiscard]] FileFacts ReadFileFacts(const std::string& nativePath);

}  // namespace rk::cli
