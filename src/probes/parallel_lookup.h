#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "probes/net_address.h"
#include "probes/stop_flag.h"

namespace rk {

// What became of one host text's look-up.
struct Lookup {
  std::optional<uint32_t> address;  // network byte order
  bool finished = false;            // the look-up answered within its time
  bool malformed = false;           // not a host name: never asked
  LookupFailure failure = LookupFailure::None;  // finished without an address: why
  double ms = 0;                    // from the start of the look-ups to this one's end
};

// Look-ups of every distinct host text, on a few threads of their own, handed
// over as each one finishes, so that what depends on them can start at once.
// * Numeric texts and texts that cannot be host names are ready at once,
//   never asked.
// * Each look-up is bounded by `timeoutMs` from construction: at that time
//   (or after Abandon) every one still out is handed over unfinished. An
//   abandoned look-up's thread ends by itself: the resolver must outlive the
//   process's look-ups, as the system resolver does.
// * Not thread-safe: one thread collects.
class ParallelLookup {
 public:
  ParallelLookup(const std::vector<std::string>& hosts, NameResolver& resolver, uint32_t timeoutMs);

  // Every look-up that ended since the last call, as (host text, lookup).
  [[nodiscard]] std::vector<std::pair<std::string, Lookup>> Collect();
  // Waits until a look-up ends, the time-out passes, or waitMs has passed.
  void Wait(uint32_t waitMs);
  // Hands every look-up still out over, unfinished, at the next Collect.
  void Abandon() { abandoned_ = true; }
  [[nodiscard]] bool done() const { return handed_ == total_; }

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::vector<std::pair<std::string, Lookup>> ready_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point deadline_;
  std::size_t handed_ = 0;
  std::size_t total_ = 0;
  bool abandoned_ = false;
};

// Resolves every distinct host text at once and waits for them all (or the
// time-out, or `stop`), by ParallelLookup.
[[nodiscard]] std::map<std::string, Lookup> ResolveAll(const std::vector<std::string>& hosts,
                                                       NameResolver& resolver, uint32_t timeoutMs,
                                                       const StopFlag* stop);

// The time between two instants in ms, rounded to 0.1 ms.
[[nodiscard]] double TenthsOfMs(std::chrono::steady_clock::duration elapsed);

}  // namespace rk
