#pragma once
// Which connection location answers fastest from this machine: each location
// the connect-setting dialog offers is connected to on every port of the
// shared port list, round after round, and a change from the stored priority
// location is recommended only when it is real.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/client_paths.h"
#include "config/profile_store.h"
#include "probes/machine_facts.h"
#include "probes/net_address.h"
#include "probes/proxy_connector.h"
#include "probes/stop_flag.h"
#include "probes/tcp_connect.h"

namespace rk {

// A location as the dialog offers it, with the host its section names.
struct RankCandidate {
  std::string location;  // code page 950, as listed
  std::string host;      // "NMIP" of its section, as configured; empty: not measurable
};

// The dialog's list (ReadLocationList) with each location's "NMIP".
[[nodiscard]] std::vector<RankCandidate> ReadRankCandidates(ProfileStore& profile,
                                                            const ClientPaths& paths);

inline constexpr int kDefaultRankRounds = 10;
inline constexpr int kMaxRankRounds = 100;
// Rounds run first and not scored: the first handshake to a host pays for
// what the path sets up once (neighbour and route entries, the platform's
// socket machinery), not for the location's distance. Its failures count.
inline constexpr int kRankWarmUpRounds = 1;

// What became of one location.
struct LocationResult {
  std::string location;
  std::string host;
  std::optional<uint32_t> address;   // network byte order; none when not looked up or unresolved
  std::optional<double> lookupMs;    // the name's look-up, never part of a round
  // One time per round measured: from the start of the round's connects to
  // its last port's answer; a lost round (a port silent to the time-out)
  // counts as the time-out.
  std::vector<double> roundsMs;
  std::size_t lostRounds = 0;
  bool measurable = true;  // false: the location has no "NMIP"
  bool ruledOut = false;   // some port failed; `reason` says which and how
  std::string reason;      // ASCII
  double p50 = 0;
  double p90 = 0;          // the score
  bool tooFast = false;    // median under 1 ms to an address off this machine's network

  [[nodiscard]] bool Ranked() const { return measurable && !ruledOut && !roundsMs.empty(); }
  [[nodiscard]] double score() const { return p90; }
};

enum class RankDecisionKind {
  Recommend,   // store `winner`
  Keep,        // the current priority location stays
  AllFailed,   // no location could be measured
};

struct RankDecision {
  RankDecisionKind kind = RankDecisionKind::AllFailed;
  std::optional<std::size_t> winner;   // fastest ranked location
  std::optional<std::size_t> current;  // the priority location among the candidates
  bool winnerIsCurrent = false;        // Keep because the current location is the fastest
  // Share of bootstrap resamples in which the winner beat the current
  // location by more than the margin; 1 when there was nothing to compare.
  double share = 0;
};

// The q-quantile (0 < q <= 1) by nearest rank: the ceil(q * n)-th smallest.
// 0 for no values.
[[nodiscard]] double NearestRankQuantile(std::vector<double> values, double q);

// The margin a change must beat: max(2 ms, 10 % of the current score).
[[nodiscard]] double ChangeMarginMs(double currentScoreMs);

inline constexpr std::size_t kBootstrapResamples = 2000;
inline constexpr double kBootstrapShare = 0.8;

// Fills p50, p90 of each ranked location, then decides:
// * no ranked location: AllFailed;
// * the fastest (lowest p90; the earlier one on a tie, the current one first)
//   is recommended outright when there is no current location or the current
//   one is not ranked;
// * the current one fastest: Keep;
// * else Recommend only when, in at least 80 % of `resamples` bootstrap
//   resamples of the rounds, the winner's p90 is better than the current
//   one's by more than ChangeMarginMs; Keep otherwise. With as many rounds
//   each, round i of both is drawn together, since they ran side by side.
// `seed` drives the resampling, so the same rounds give the same answer.
[[nodiscard]] RankDecision DecideRank(std::vector<LocationResult>& results,
                                      const std::string& currentLocation, uint64_t seed,
                                      std::size_t resamples = kBootstrapResamples);

// Whether `address` (network byte order) is on this machine's own network:
// loopback, one of its addresses, or inside a route with no gateway (the
// default route excluded: a tunnel's catch-all is not a local network).
[[nodiscard]] bool OnOwnNetwork(uint32_t address, const std::vector<std::string>& ownAddresses,
                                const std::vector<Ipv4Route>& routes);

// A median this short to a host off the own network cannot be the broker's
// host answering: something in between (a VPN, a filtering proxy) does.
inline constexpr double kTooFastMs = 1.0;

// A ranked location whose median (p50, set by DecideRank) is under kTooFastMs
// to an address off this machine's own network.
[[nodiscard]] bool AnswersTooFast(const LocationResult& result,
                                  const std::vector<std::string>& ownAddresses,
                                  const std::vector<Ipv4Route>& routes);

struct RankOptions {
  int rounds = kDefaultRankRounds;
  uint32_t connectTimeoutMs = kConnectTimeoutMs;
  uint32_t lookupTimeoutMs = kConnectTimeoutMs;
  uint64_t seed = 0;
};

struct RankReport {
  std::vector<LocationResult> locations;  // in the dialog's order
  RankDecision decision;
  std::string currentLocation;            // of the stored priority record; may be empty
  std::vector<int32_t> ports;             // the shared port list
  std::optional<ProxyRoute> proxy;        // the rounds went through it
  int rounds = 0;
  uint32_t timeoutMs = 0;
  double durationMs = 0;
  bool interrupted = false;
};

// Called on the ranking's thread after each settled attempt.
using RankProgress = std::function<void(std::size_t done, std::size_t total)>;

// The measurement.
// * Names are looked up first, all at once, and timed apart.
// * A warm-up round (kRankWarmUpRounds) precedes the scored rounds.
// * Round r starts for every location at once when round r-1 has ended for
//   all of them, so a burst of congestion hits every location alike; each
//   round connects to all ports of a location together.
// * A location that has never answered does not hold the others' rounds up:
//   when its first round ends without any answer it is ruled out, so a dark
//   location costs one time-out, not one per round.
// * Refused, unreachable or an error on any port rules a location out at once;
//   a port that never connected in any round rules it out at the end.
// * Through `proxy` each attempt is the proxy's CONNECT (or SOCKS request) and
//   its time the time to the proxy's answer; a proxy that fails rules out.
// * `stop` ends every wait within kStopPollMs; the report is then interrupted.
class LocationRank {
 public:
  LocationRank(NameResolver& resolver, RankOptions options) : resolver_(resolver), options_(options) {}

  [[nodiscard]] RankReport Run(const std::vector<RankCandidate>& candidates,
                               const std::vector<int32_t>& ports, const std::string& currentLocation,
                               const std::optional<ProxyRoute>& proxy,
                               const std::vector<std::string>& ownAddresses,
                               const std::vector<Ipv4Route>& routes, const RankProgress& progress = {},
                               const StopFlag* stop = nullptr);

 private:
  NameResolver& resolver_;
  RankOptions options_;
};

// Everything the CLI and the window rank with, read from the client's files:
// candidates, the shared ports, the priority location, the stored proxy when
// its type is 1..4, and the machine's addresses and routes.
struct RankInputs {
  std::vector<RankCandidate> candidates;
  std::vector<int32_t> ports;
  std::string currentLocation;
  std::optional<ProxyRoute> proxy;
  std::vector<std::string> ownAddresses;
  std::vector<Ipv4Route> routes;
};
[[nodiscard]] RankInputs ReadRankInputs(ProfileStore& profile, const ClientPaths& paths);

// The report's recommendation in one line (ASCII around the location's code
// page 950 bytes): "use X ...", "about the same: keep X", "keep X: ...",
// "every location failed".
[[nodiscard]] std::string RankRecommendationLine(const RankReport& report);

// A location's verdict word(s): "best", "current", "ok", "ruled out: WHY",
// "not measurable: no NMIP"; the < 1 ms flag is appended.
[[nodiscard]] std::string RankVerdictText(const RankReport& report, std::size_t index);

}  // namespace rk
