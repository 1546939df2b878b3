#pragma once
// The watch: every endpoint of the host catalogue (the endpoints a check
// tests, CheckEndpoints) sampled on and on, cheaply enough to run all day,
// with the outages found, placed and written down as they happen.
//
// * A TCP connect per endpoint every intervalMs, the endpoints' slots spread
//   evenly over the interval (never one burst), each bounded by
//   connectTimeoutMs; at most maxOpenSockets at once: a connect that cannot
//   start in its slot is a `skipped` sample, never dropped silently.
// * An ICMP echo every echoIntervalMs to each distinct address that is not
//   loopback, and to the default gateway when an endpoint's route goes
//   through it.
// * With a stored proxy, every endpoint also through it each interval (an
//   outage of that road is by "proxy", placed at the proxy).
// * An outage of an endpoint opens after kOutageFailuresInRow failed
//   connects in a row, or when its address, having answered an echo within
//   the last kEchoMemoryMs, has not answered for echoTimeoutMs; it closes at
//   the first successful connect (an echo-opened outage also at the first
//   echo answer while its connects have not failed). At the opening a
//   one-endpoint check runs (paced path probe, gateway echo) and its
//   conclusion places the outage: local network, internet path, the
//   broker's host, the proxy.
// * A gap in the engine's own clock of more than kPauseIntervals intervals
//   (the PC slept, the process was stopped) is `paused`: never an outage;
//   the failure counts start again after it.
// The engine runs on a thread of its own; Snapshot and Summary may be called
// from any thread at any time.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/host_catalogue.h"
#include "probes/icmp_echo.h"
#include "probes/net_address.h"
#include "probes/proxy_connector.h"
#include "runs/watch_summary.h"

namespace rk {

using WatchClock = std::chrono::system_clock;
using WatchTime = WatchTimePoint;

inline constexpr uint32_t kWatchIntervalMs = 5000;
inline constexpr uint32_t kWatchEchoIntervalMs = 1000;
inline constexpr uint32_t kWatchConnectTimeoutMs = 3000;
inline constexpr std::size_t kWatchMaxSockets = 256;
inline constexpr int kOutageFailuresInRow = 2;
inline constexpr uint32_t kEchoMemoryMs = 60'000;
inline constexpr int kPauseIntervals = 3;
inline constexpr uint32_t kChartWindowMs = 60 * 60'000;  // Snapshot's recent samples
inline constexpr uint64_t kWatchLogRollBytes = 50ull * 1024 * 1024;
inline constexpr uint32_t kOpenMetricsEveryMs = 15'000;
// --idle: the keepalive's first probe after this much silence, then one every
// kIdleKeepaliveIntervalSeconds. Long enough that a NAT which forgets idle
// connections sooner shows it, short enough to catch the common 2-5 minutes.
inline constexpr uint32_t kIdleKeepaliveSeconds = 120;
inline constexpr uint32_t kIdleKeepaliveIntervalSeconds = 10;

struct WatchOptions {
  uint32_t intervalMs = kWatchIntervalMs;          // connects per endpoint (and proxied ones)
  uint32_t echoIntervalMs = kWatchEchoIntervalMs;  // echoes per address
  uint32_t connectTimeoutMs = kWatchConnectTimeoutMs;
  // An echo's answer limit, and the silence after which an address that
  // answered within kEchoMemoryMs counts as out.
  uint32_t echoTimeoutMs = kEchoTimeoutMs;
  std::size_t maxOpenSockets = kWatchMaxSockets;  // 1..256
  bool placeOutages = true;   // the one-endpoint check at an outage's opening
  // The connect time-out of that check (its path probe is paced as the
  // check's is).
  uint32_t placeTimeoutMs = kWatchConnectTimeoutMs;
  // --idle: one connection per endpoint held open with TCP keepalive; how and
  // when it ends is an event (IdleEnd), and a new one opens an interval later.
  // At the watch's end each one still open is an IdleEnd "open".
  bool idle = false;
  uint32_t idleKeepaliveSeconds = kIdleKeepaliveSeconds;
  // The stored proxy the client uses, when it uses one (type 1..4, values
  // RouteProblem accepts): every endpoint is also connected through it each
  // interval, all at once; two failures in a row open an outage by "proxy",
  // placed at the proxy with its own verdict and reason.
  std::optional<ProxyRoute> proxy;
  // The JSON Lines log (native path; empty: none), written as events happen.
  std::string logPath;
  bool logSamples = false;  // every sample, not only the failed ones
  uint64_t logRollBytes = kWatchLogRollBytes;  // past it FILE becomes FILE.1
  // The OpenMetrics textfile (native path ending in ".prom"; empty: none),
  // written one interval after the start, then every openMetricsEveryMs and
  // at the end, each time through a temporary file and a rename.
  std::string openMetricsPath;
  uint32_t openMetricsEveryMs = kOpenMetricsEveryMs;
  std::string clientRoot;  // named in the log's header, UTF-8
};

// Why the options cannot run a watch (intervals of 0, a time-out of 0, an
// OpenMetrics file not ending in ".prom", ...), or nullopt when they can.
[[nodiscard]] std::optional<std::string> WatchOptionsProblem(const WatchOptions& options);

enum class WatchState { Waiting, Up, Down, Paused, Unresolved, NotWatched };
// "waiting" (no sample yet), "up", "down" (an outage is open), "paused",
// "unresolved" (the name gave no address), "not-watched" (no host or no
// usable port).
[[nodiscard]] const char* WatchStateName(WatchState state);

enum class SampleKind { Connect, Echo, Proxy };
[[nodiscard]] const char* SampleKindName(SampleKind kind);  // "connect", "echo", "proxy"

// One probe's outcome. Verdicts: connect "open", "refused", "timeout",
// "unreachable", "error", "skipped"; echo "answered", "lost"; proxy the
// ProxyVerdictName.
struct WatchSample {
  WatchTime time;          // when it was started
  SampleKind kind = SampleKind::Connect;
  std::size_t endpoint = kNoEndpoint;  // index into the endpoints; kNoEndpoint for an echo
  uint32_t address = 0;    // network byte order
  std::string verdict;
  bool ok = false;
  double ms = 0;           // time to the verdict, 0.1 ms steps
  double lateMs = 0;       // how long after its slot it started
  static constexpr std::size_t kNoEndpoint = static_cast<std::size_t>(-1);
};

// One point of an endpoint's chart: a connect and its address's echo.
struct WatchPoint {
  WatchTime time;
  std::optional<double> connectMs;  // none: lost (failed or skipped)
  std::optional<double> echoMs;     // none: lost, or no echo is sent to the address
};

// What the GUI's list and chart show of one endpoint.
struct EndpointSnapshot {
  std::size_t index = 0;      // the catalogue entry
  std::string label;          // code page 950
  std::string host;           // as configured, code page 950
  std::string addressPort;    // "a.b.c.d:port"; the host text when unresolved
  int32_t port = 0;
  // The server section's location name ("台北Order2" in code page 950) of a
  // server entry; the entry's number for one of the Local section.
  std::string location;
  WatchState state = WatchState::Waiting;
  std::string stateText;      // WatchStateName(state)
  std::optional<double> lastMs;  // the last connect's time; none when it failed
  double p50 = 0;             // over the whole watch (the log's histogram buckets)
  double p95 = 0;
  double lossRatio = 0;       // failed connects / connects (skipped count as lost)
  double echoLossRatio = 0;   // lost echoes / echoes of its address; 0 when none is sent
  std::size_t samples = 0;
  std::size_t connected = 0;   // successful connects
  double connectMsSum = 0;     // their times added up
  std::size_t outages = 0;
  std::optional<WatchOutage> lastOutage;
  std::vector<WatchPoint> recent;  // the last kChartWindowMs, oldest first
};

struct WatchSnapshot {
  WatchTime started;
  WatchTime now;
  bool running = false;
  bool icmpAvailable = true;  // false: echoes cannot be sent (no permission); connects go on
  std::vector<EndpointSnapshot> endpoints;  // CheckEndpoints order
};

// Everything the engine reports, in order, on its own thread.
struct WatchEvent {
  enum class Kind {
    Sample,        // a sample (every one; the log keeps the failed ones unless logSamples)
    StateChange,   // an endpoint's state changed
    OutageOpen,
    OutageClose,
    OutagePlaced,  // the opening's check ended: place and conclusion are known
    Paused,        // a gap in the engine's clock; `pauseFrom` .. `time`
    Minute,        // one endpoint's minute record (also the partial last one at Stop)
    IdleEnd,       // --idle: an endpoint's idle connection ended
  };
  Kind kind = Kind::Sample;
  WatchTime time;
  std::size_t endpoint = WatchSample::kNoEndpoint;
  WatchSample sample;            // Sample
  WatchState from = WatchState::Waiting;  // StateChange
  WatchState to = WatchState::Waiting;
  WatchOutage outage;            // OutageOpen, OutageClose, OutagePlaced
  WatchTime pauseFrom;           // Paused
  MinuteRecord minute;           // Minute
  std::string idleEnd;           // IdleEnd: IdleEndName: "closed", "reset", "keepalive-failed", "error", "open"
  double idleSeconds = 0;        // IdleEnd: how long the connection lived
  std::string idleReason;        // IdleEnd "error": the system's words
};
using WatchEventCallback = std::function<void(const WatchEvent&)>;

// The watch engine. Start once; Stop (or the destructor) ends it.
class Watch {
 public:
  Watch(NameResolver& resolver, EchoService& echo, WatchOptions options = {});
  ~Watch();
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // Starts the watch of the catalogue's endpoints on a thread of its own.
  // The hosts' names are looked up first, on the caller's thread, for at most
  // connectTimeoutMs (a name that gives no address is `unresolved`).
  // `onEvent` (may be empty) is called on that thread, never by two threads
  // at once; it must not call Stop. False, with `error` set, when the
  // options are bad, or the log or the textfile cannot be written (nothing is
  // started).
  bool Start(const HostCatalogue& catalogue, WatchEventCallback onEvent = {},
             std::string* error = nullptr);

  // Ends the watch within 1 s: the samples in flight are dropped, open
  // outages stay open (their end is the watch's end in the summary), the
  // partial minute is written, the log is synced and closed. Idempotent.
  void Stop();

  [[nodiscard]] bool running() const;
  [[nodiscard]] WatchSnapshot Snapshot() const;
  // The summary so far (what watch-summary gives for the whole log).
  [[nodiscard]] WatchSummary Summary() const;
  [[nodiscard]] const WatchOptions& options() const { return options_; }

 private:
  struct Engine;
  WatchOptions options_;
  NameResolver& resolver_;
  EchoService& echo_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace rk
