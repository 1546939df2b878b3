#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "probes/net_address.h"
#include "probes/stop_flag.h"

namespace rk {

// What became of one host text's look-up.
struct Lookup {
  std::optional<uint32_t> address;  // network byte order
  bool finished = false;
  bool malformed = false;  // not a host name: never asked
  double ms = 0;
};

// Resolves every distinct host text once: numeric texts at once, names on a
// few threads of their own until `timeoutMs` has passed or `stop` is set.
// * A look-up that overruns is abandoned (its thread ends by itself): the
//   resolver must outlive the process's look-ups, as the system resolver does.
// * A text that cannot be a host name is finished and malformed, never asked.
[[nodiscard]] std::map<std::string, Lookup> ResolveAll(const std::vector<std::string>& hosts,
                                                       NameResolver& resolver, uint32_t timeoutMs,
                                                       const StopFlag* stop);

// The time between two instants in ms, rounded to 0.1 ms.
[[nodiscard]] double TenthsOfMs(std::chrono::steady_clock::duration elapsed);

}  // namespace rk
