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

// One route of the machine's IPv4 routing table, addresses in network byte order.
struct Ipv4Route {
  uint32_t destination = 0;
  uint32_t mask = 0;
  uint32_t gateway = 0;  // 0: the destination is on the link itself
};
// The routes in use, as the system lists them; empty when they cannot be had.
[[nodiscard]] std::vector<Ipv4Route> MachineIPv4Routes();

// The DNS servers the system's look-ups ask (IPv4 or IPv6 text), in the
// system's order, each once; empty when they cannot be had.
[[nodiscard]] std::vector<std::string> MachineDnsServers();

// What the report says of one configuration file.
// * A file that is there but cannot be read (permissions, a folder in its
//   place) exists, with the system's reason in `unreadable`; the file system
//   is asked, since the profile functions read such a file as missing.
struct FileFacts {
  bool exists = false;
  uint64_t size = 0;
  int64_t modifiedUnix = 0;  // seconds since 1970-01-01 UTC
  std::string unreadable;    // why it cannot be read (the system's words); empty when it can
};
[[nodiscard]] FileFacts ReadFileFacts(const std::string& nativePath);

}  // namespace rk
