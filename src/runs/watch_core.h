#pragma once
// The watch's rules without its probes: what the samples mean (states,
// outages, pauses, minute records, statistics), fed with explicit times so
// that the rules are tested without a network or a clock. Watch drives it
// from its probes; not thread-safe (Watch holds a lock around it).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runs/watch.h"

namespace rk {

// One endpoint as the core knows it.
struct WatchEndpoint {
  std::size_t index = 0;  // the catalogue entry
  std::string label;      // code page 950
  std::string host;       // code page 950
  int32_t port = 0;
  std::optional<uint32_t> address;  // network byte order; none when unresolved
  bool watched = false;   // a usable port and an address
  bool echoed = false;    // its address gets echoes (not loopback, ICMP available)
};

class WatchCore {
 public:
  WatchCore(const WatchOptions& options, std::vector<WatchEndpoint> endpoints, WatchTime started);

  // A connect of endpoint `e` started at `start` settled after `ms` (a
  // skipped one: verdict "skipped", ms 0).
  void Connected(std::size_t e, WatchTime start, const std::string& verdict, bool ok, double ms,
                 double lateMs, std::vector<WatchEvent>& events);
  // A connect of endpoint `e` through the stored proxy: `verdict` is the
  // ProxyVerdictName, `reason` the proxy's words. Two failures in a row open
  // an outage by "proxy", placed at the proxy at once; a success closes it.
  void ProxySampled(std::size_t e, WatchTime start, const std::string& verdict, const std::string& reason,
                    bool ok, double ms, std::vector<WatchEvent>& events);
  // An echo to `address` sent at `sent`: answered after `ms`, or lost.
  void Echoed(uint32_t address, WatchTime sent, bool answered, double ms, std::vector<WatchEvent>& events);
  // The clock moved on: a gap of more than kPauseIntervals intervals since
  // the last Tick is a pause; silent addresses open outages; minutes past
  // are written. Call at least every 100 ms.
  void Tick(WatchTime now, std::vector<WatchEvent>& events);
  // The opening's check of outage `id` ended.
  void Placed(uint64_t id, const std::string& place, const std::string& conclusion,
              std::vector<WatchEvent>& events);
  // The watch ends: every partial minute is written.
  void Finish(WatchTime now, std::vector<WatchEvent>& events);

  [[nodiscard]] WatchSnapshot Snapshot(WatchTime now) const;
  [[nodiscard]] WatchSummary Summary(WatchTime now) const;
  [[nodiscard]] const std::vector<WatchEndpoint>& endpoints() const { return endpoints_; }
  // The summary's endpoint list (for the log's header).
  [[nodiscard]] std::vector<EndpointSummary> SummaryEndpoints() const;
  // Samples started before the last pause's end are dropped (set by Tick).
  [[nodiscard]] WatchTime pausedUntil() const { return pausedUntil_; }

 private:
  struct Minute {
    WatchTime start{};
    uint32_t samples = 0, lost = 0, skipped = 0, echoes = 0, echoLost = 0;
    std::vector<double> times;
    LatencyHistogram histogram;
  };
  struct EndpointState {
    WatchState state = WatchState::Waiting;
    int failuresInRow = 0;
    std::optional<WatchTime> lastGood;
    std::optional<WatchOutage> open;
    std::optional<WatchOutage> proxyOpen;  // the road through the proxy
    int proxyFailuresInRow = 0;
    std::optional<WatchOutage> last;
    std::size_t outages = 0;
    uint64_t samples = 0, lost = 0, echoes = 0, echoLost = 0, connected = 0;
    double connectMsSum = 0;
    std::optional<double> lastMs;
    std::optional<double> lastEchoMs;  // the address's last echo; none when lost or none
    Minute minute;
    LatencyHistogram total;  // every written minute's
    std::deque<WatchPoint> recent;
  };
  // Records `outage`, just opened, in `slot` (the direct or the proxied road of endpoint `e`),
  // counts it and hands on its event.
  void Opened(std::size_t e, std::optional<WatchOutage>& slot, const WatchOutage& outage,
              std::vector<WatchEvent>& events);
  struct AddressState {
    std::optional<WatchTime> lastAnswer;
    bool silent = false;
    std::vector<std::size_t> endpoints;
  };

  void SetState(std::size_t e, WatchState to, WatchTime t, std::vector<WatchEvent>& events);
  void Open(std::size_t e, WatchTime t, WatchTime lastGood, const char* by, std::vector<WatchEvent>& events);
  void Close(std::size_t e, WatchTime t, std::vector<WatchEvent>& events);
  void CloseSlot(std::size_t e, std::optional<WatchOutage>& slot, WatchTime t, std::vector<WatchEvent>& events);
  void WriteMinute(std::size_t e, std::vector<WatchEvent>& events);
  [[nodiscard]] MinuteRecord MinuteOf(std::size_t e) const;
  void MinuteFor(std::size_t e, WatchTime t, std::vector<WatchEvent>& events);

  WatchOptions options_;
  std::vector<WatchEndpoint> endpoints_;
  std::vector<EndpointState> states_;
  std::map<uint32_t, AddressState> addresses_;
  WatchTime started_;
  std::optional<WatchTime> lastTick_;
  WatchTime pausedUntil_{};
  uint64_t nextOutage_ = 1;
  SummaryBuilder summary_;
};

// The location named in an entry's label ("KIND-LOCATION : HOST", "KIND-N : HOST:PORT").
[[nodiscard]] std::string LocationOfLabel(const std::string& label);

// The start of the UTC minute holding `t`.
[[nodiscard]] WatchTime MinuteStart(WatchTime t);

}  // namespace rk
