#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/host_catalogue.h"
#include "probes/net_address.h"

namespace rk {

// What a test runs against; written on the window's thread before a run and
// only read by the worker during it.
struct TestTarget {
  std::string hostText;       // as configured
  std::string dottedAddress;  // a.b.c.d
  uint32_t address = 0;       // network byte order
  std::vector<int32_t> ports; // the connection test's ports, in order
};

using LineWriter = std::function<void(std::string)>;

// Turns combo-box selection `selection` (-1: none) into `target`.
// * On failure writes exactly one English line through `writeLine` and
//   returns false; `target` may then be partly overwritten.
// * A numeric address is never looked up by name; 255.255.255.255 is.
[[nodiscard]] bool ResolveTestTarget(int selection, const HostCatalogue& catalogue,
                                     NameResolver& resolver, TestTarget& target,
                                     const LineWriter& writeLine);

}  // namespace rk
