#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "probes/tcp_connect.h"

namespace rk {

// How one connection attempt ended, in one vocabulary on every platform.
enum class ConnectOutcome { Open, Refused, Timeout, Unreachable, Error };

// What the network said when it reported an attempt unreachable.
// RefusedOnBehalf: a router or firewall other than the target answered the
// handshake with "port unreachable" (the system reads it as a refusal).
enum class UnreachableKind { Network, Host, Prohibited, RefusedOnBehalf };

struct ConnectSettlement {
  ConnectOutcome outcome = ConnectOutcome::Error;
  UnreachableKind unreachable = UnreachableKind::Host;  // Unreachable only
  uint32_t reporter = 0;  // network byte order; the router that reported, 0 when not known
  std::string reason;     // Error only: the system's reason, in ASCII
};

// Non-blocking TCP connection attempts watched together: as many as the
// caller starts, each with its own deadline.
// * Every attempt settles exactly once, through Wait's callback: Open,
//   Refused, Unreachable or Error when the platform says so, Timeout at its
//   deadline. Its socket is closed before the callback runs, so open() only
//   counts attempts still in flight.
// * Not thread-safe: one thread starts and waits.
class ConnectBatch {
 public:
  using Clock = std::chrono::steady_clock;
  using Settled = std::function<void(std::size_t tag, const ConnectSettlement&)>;

  ConnectBatch() = default;
  ConnectBatch(const ConnectBatch&) = delete;
  ConnectBatch& operator=(const ConnectBatch&) = delete;

  // Starts connecting to address:port (network byte order address, host
  // order port). An attempt the platform settles at once (no socket to be
  // had, no route) is reported at the next Wait.
  void Start(std::size_t tag, uint32_t address, uint16_t port, Clock::time_point deadline);

  // Waits at most `waitMs` (less when a deadline comes first) and reports
  // every attempt that settled meanwhile. Returns at once when none is open.
  void Wait(uint32_t waitMs, const Settled& settled);

  [[nodiscard]] std::size_t open() const { return attempts_.size(); }
  [[nodiscard]] bool idle() const { return attempts_.empty() && early_.empty(); }

 private:
  struct Attempt {
    std::size_t tag = 0;
    TcpSocket socket;
    intptr_t handle = TcpSocket::kInvalid;
    uint32_t address = 0;
    Clock::time_point deadline;
  };
  std::vector<Attempt> attempts_;
  std::vector<std::pair<std::size_t, ConnectSettlement>> early_;
};

// What a destination-unreachable report's code says (RFC 792, RFC 1812):
// codes 0, 6 and 11 are about the network, 9, 10 and 13 forbid the traffic,
// the rest are about the host.
[[nodiscard]] UnreachableKind UnreachableKindOfCode(uint8_t code);

// The platform's part of ConnectBatch.
namespace connect_backend {

// A started attempt: a socket in progress, or a settlement when the
// platform answered at once (then `socket` is not valid).
struct Begun {
  TcpSocket socket;
  intptr_t handle = TcpSocket::kInvalid;
  ConnectSettlement settledAtOnce;
};

[[nodiscard]] Begun BeginConnect(uint32_t address, uint16_t port);

// Waits up to waitMs for any of `handles` to settle; writes the indices of
// the settled ones into `ready` (cleared first).
void WaitAny(const std::vector<intptr_t>& handles, uint32_t waitMs, std::vector<std::size_t>& ready);

// The outcome of a settled attempt to `target` (network byte order), by
// SettlementOf: its pending error, whether the socket reported a hang-up or
// error event, and on platforms that queue the network's reports, the last
// report and its sender. Every connect of the program (batch, TCP test,
// proxy) reads its attempt through this.
[[nodiscard]] ConnectSettlement ReadOutcome(intptr_t handle, uint32_t target);

// Shared by the backends, portable (connect_batch.cpp): the platform's
// numbers for the errors a settlement tells apart, and the reason text of
// any other.
struct ErrorCodes {
  int refused;
  int prohibited;  // a local or remote filter forbade the traffic (EACCES); -1 for none
  int timedOut;
  int networkUnreachable;
  int hostUnreachable;
  int hostDown;
  std::string (*describe)(int error);
};

// The settlement a pending error (0: connected) stands for.
[[nodiscard]] ConnectSettlement SettlementOfError(int error, const ErrorCodes& codes);

// A router's destination-unreachable report about the attempt, as the ICMP
// error queue keeps it (POSIX); `sender` in network byte order.
struct QueuedReport {
  bool present = false;
  uint8_t type = 0;
  uint8_t code = 0;
  uint32_t sender = 0;
};

// The one rule that reads a settled attempt to `target`:
// * the pending error decides first; a report only adds who said it and a
//   finer kind (never turns a failure into success);
// * a hang-up or error event with no pending error is still a failure;
// * "port unreachable" from anyone but the target is Unreachable
//   (RefusedOnBehalf) with that sender, not a refusal by the host.
[[nodiscard]] ConnectSettlement SettlementOf(int pendingError, bool hungUp,
                                             const QueuedReport& report, uint32_t target,
                                             const ErrorCodes& codes);

// What a non-blocking connect call left: `error` 0 when it connected at once;
// an error that `inProgress` says is the handshake under way keeps `socket`,
// any other settles the attempt at once.
[[nodiscard]] Begun BegunAfterConnect(TcpSocket socket, int error, bool inProgress,
                                      const ErrorCodes& codes);

}  // namespace connect_backend

}  // namespace rk
