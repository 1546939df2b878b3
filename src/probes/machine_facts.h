#pragma once
// What a support report says of the machine and of the files it read: facts
// the platform gives, behind one interface for the program and the CLI.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// A path or argument as the platform gave it (UTF-8 on POSIX, the ANSI code
// page on Windows) in UTF-8. Invalid bytes may remain: the JSON writer
// replaces them with U+FFFD.
[[nodiscard]] std::string NativeTextToUtf8(std::string_view native);

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

}  // namespace rk
