#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/host_catalogue.h"
#include "probes/connect_batch.h"
#include "probes/icmp_echo.h"
#include "probes/net_address.h"
#include "probes/stop_flag.h"
#include "probes/tcp_connect.h"
#include "probes/parallel_lookup.h"

namespace rk {

// One verdict per endpoint; the order is the order of the summary. New
// verdicts join at the end, so the counts keep their places.
// * NoHost: the entry's host text is empty; nothing is looked up or sent.
// * Interrupted: the check was stopped (Ctrl+C, the window's close) before
//   the endpoint had a verdict; never a time-out.
enum class Verdict { Open, Refused, Timeout, Unreachable, Unresolved, NoPort, Error, NoHost, Interrupted };
inline constexpr std::size_t kVerdictCount = 9;

// "open", "refused", "timeout", "unreachable", "unresolved", "no-port", "error",
// "no-host", "interrupted".
[[nodiscard]] const char* VerdictName(Verdict verdict);

// One (entry, port) of the catalogue and what became of it.
struct EndpointResult {
  std::size_t index = 0;        // the entry's index in the catalogue (the host selection)
  std::string label;            // the entry's combo-box line (code page 950)
  std::string host;             // as configured (code page 950)
  std::optional<uint32_t> address;  // network byte order; none when unresolved
  int32_t port = 0;             // as configured; 0 for an entry without a port
  std::string portText;         // the port as typed where that is not the number `port` (code page 950)
  Verdict verdict = Verdict::Error;
  double ms = 0;                // time to the verdict, 0.1 ms steps
  std::optional<double> lookupMs;   // the name's look-up time; none for a numeric or empty host
  UnreachableKind unreachable = UnreachableKind::Host;  // Unreachable only
  uint32_t reporter = 0;        // the router that reported Unreachable, 0 when not known
  std::string reason;           // Error and Unresolved: why, in ASCII
  std::string cause;            // plain-language cause, empty when open (ASCII)
};

// The answers of a path probe: echoes for TTL 1..30 sent together.
struct PathHop {
  int ttl = 0;
  uint32_t address = 0;  // network byte order
  uint32_t ms = 0;
};
struct PathProbe {
  std::vector<PathHop> hops;  // answered TTLs up to the first the target answered, in order
  int lastTtl = 0;            // the highest answered TTL among them, 0 when none answered
  bool targetReached = false;
  bool endsWithReport = false;  // the last router answered the next TTL too: it reports the rest
};

// What was learnt about an address that is not fully open.
struct AddressDiagnosis {
  uint32_t address = 0;  // network byte order
  bool echoAnswered = false;
  uint32_t echoMs = 0;
  PathProbe path;
};

struct CheckReport {
  std::vector<EndpointResult> endpoints;     // catalogue order, ports in list order
  std::vector<AddressDiagnosis> addresses;   // in order of first appearance
  bool diagnosed = false;                    // a diagnosis was asked for
  bool icmpAvailable = true;                 // false: the diagnosis needs ICMP permission
  double durationMs = 0;
  bool interrupted = false;                  // stopped before every endpoint had a verdict
  std::array<std::size_t, kVerdictCount> counts{};  // by Verdict
  [[nodiscard]] bool AllOpen() const { return counts[0] == endpoints.size(); }
};

struct CheckOptions {
  uint32_t connectTimeoutMs = kConnectTimeoutMs;
  uint32_t echoTimeoutMs = kEchoTimeoutMs;
  uint32_t lookupTimeoutMs = 10000;
  std::size_t maxOpenSockets = 256;
  bool diagnose = true;
  // An address comes under diagnosis as soon as one of its endpoints fails,
  // or is still unanswered after this long, so that the probes overlap the
  // connects instead of following them.
  uint32_t suspectAfterMs = 1000;
  int maxTtl = 30;
  std::size_t maxConcurrentDiagnoses = 8;
  // The diagnosis ends this long after the look-ups' and connects' time-outs
  // (the look-ups get at most connectTimeoutMs), whatever is still out.
  uint32_t diagnosisGraceMs = 700;
};

// Called once per endpoint as its verdict arrives, on the thread that runs
// Run, in order of arrival; `cause` is not yet set.
using VerdictCallback = std::function<void(const EndpointResult&)>;

// Called about once a second while the check runs, with the endpoints that
// have a verdict and all of them; on the thread that runs Run, or during the
// closing diagnosis on one thread of the check's while Run waits.
using WaitingCallback = std::function<void(std::size_t done, std::size_t total)>;

// The endpoints of a catalogue, before any verdict: entry by entry, each
// entry's ports in list order (an entry without a port has one, port 0).
// The check's report lists them in this order.
[[nodiscard]] std::vector<EndpointResult> CheckEndpoints(const HostCatalogue& catalogue);

// Every endpoint of a catalogue checked at once.
// * Each entry resolves as the host selection does: a numeric address as it
//   is, else through `resolver`; look-ups run in parallel and alongside the
//   connects (an entry connects as soon as its name is known), each bounded
//   by the smaller of lookupTimeoutMs and connectTimeoutMs. A look-up that
//   overruns is abandoned (its thread ends by itself): the resolver must
//   outlive the process's look-ups, as the system resolver does. A text that
//   cannot be a host name is unresolved without a look-up. The reason tells
//   a name that does not exist, a DNS server that did not answer and a name
//   without an IPv4 address apart.
// * The whole run, diagnosis included, ends within two connect time-outs
//   and diagnosisGraceMs (up to 256 distinct address:port pairs).
// * Each distinct address:port is connected once, all concurrently, at most
//   maxOpenSockets at a time, each bounded by connectTimeoutMs; entries that
//   share it share the verdict.
// * Ports outside 1..65535 get Error; an entry without a port gets NoPort.
// * An entry whose host text is empty gets NoHost (never a look-up of "").
// * `stop` ends every wait early; what is still pending then is Interrupted.
class ReachabilityCheck {
 public:
  ReachabilityCheck(NameResolver& resolver, EchoService& echo, CheckOptions options = {})
      : resolver_(resolver), echo_(echo), options_(options) {}

  [[nodiscard]] CheckReport Run(const HostCatalogue& catalogue, const VerdictCallback& onVerdict = {},
                                const StopFlag* stop = nullptr,
                                const WaitingCallback& onWaiting = {});

 private:
  NameResolver& resolver_;
  EchoService& echo_;
  CheckOptions options_;
};

}  // namespace rk
