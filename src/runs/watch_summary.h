#pragma once
// The summary of a watch, live or read back from its log, over the whole
// watch or a window of it: per endpoint the samples, loss, p50/p95/p99/max,
// jitter (p95 - p50) and outages with their places. Live and from the log it
// is built the same way, from minute records and outage records, so the two
// agree.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runs/watch_stats.h"

namespace rk {

using WatchTimePoint = std::chrono::system_clock::time_point;

// One outage of one endpoint.
struct WatchOutage {
  uint64_t id = 0;          // 1, 2, ... in the order they opened
  std::size_t endpoint = 0;
  WatchTimePoint start;     // when the rule saw it
  // The break began after this: the last success before the failures (the
  // last echo answer for an outage seen by echo).
  WatchTimePoint lastGood;
  std::optional<WatchTimePoint> end;  // none while it is open
  std::string by;           // "connect" or "echo"
  std::string place;        // the conclusion's code (ConclusionCodeName); empty until placed
  std::string conclusion;   // the conclusion's line; empty until placed
  [[nodiscard]] double DurationMs(WatchTimePoint until) const;
};

// One endpoint's minute (UTC) of connects.
struct MinuteRecord {
  WatchTimePoint minute;     // the minute's start
  std::size_t endpoint = 0;
  uint32_t samples = 0;      // connects, skipped ones included
  uint32_t lost = 0;         // failed or skipped
  uint32_t skipped = 0;
  uint32_t echoes = 0;       // echoes of the endpoint's address
  uint32_t echoLost = 0;
  double p50 = 0;            // of the minute's successful connects, ms
  double p95 = 0;
  double max = 0;
  LatencyHistogram histogram;  // the successful connects' times
};

struct WatchPause {
  WatchTimePoint from;
  WatchTimePoint to;
};

// What the summary says of one endpoint.
struct EndpointSummary {
  std::size_t index = 0;    // the catalogue entry
  std::string label;        // code page 950
  std::string host;         // code page 950
  std::string address;      // dotted; empty when unresolved
  int32_t port = 0;
  uint64_t samples = 0;
  uint64_t lost = 0;
  uint64_t skipped = 0;
  uint64_t echoes = 0;
  uint64_t echoLost = 0;
  double p50 = 0, p95 = 0, p99 = 0, max = 0;
  double jitter = 0;        // p95 - p50
  std::vector<WatchOutage> outages;  // those overlapping the window, in order
  LatencyHistogram histogram;
  [[nodiscard]] double lossRatio() const {
    return samples == 0 ? 0 : static_cast<double>(lost) / static_cast<double>(samples);
  }
};

struct WatchSummary {
  std::optional<WatchTimePoint> from;  // the window asked for (none: open)
  std::optional<WatchTimePoint> to;
  std::optional<WatchTimePoint> first;  // the earliest minute summed (or the watch's start within it)
  std::optional<WatchTimePoint> last;   // the end of the latest minute summed
  WatchTimePoint end;  // the watch's end (live: now); outages still open last until then
  std::vector<EndpointSummary> endpoints;
  std::vector<WatchPause> pauses;
  [[nodiscard]] std::size_t OutageCount() const;
};

// Builds a summary from records in the order they were written. A minute
// counts when its start lies in [from, to); an outage when it overlaps the
// window (an open one lasts until `end` of Finish).
class SummaryBuilder {
 public:
  SummaryBuilder(std::optional<WatchTimePoint> from = {}, std::optional<WatchTimePoint> to = {});
  // The endpoints (from the header); a later call (a log's second header)
  // keeps what was summed for endpoints of the same index and address.
  void SetEndpoints(const std::vector<EndpointSummary>& endpoints);
  void AddMinute(const MinuteRecord& minute);
  // Open, close and placed records of one outage share its id.
  void AddOutage(const WatchOutage& outage);
  void AddPause(const WatchPause& pause);
  // When the watch began (the first call counts): the summary's span starts
  // there rather than at its first minute's start.
  void SetStarted(WatchTimePoint started);
  // The summary; outages still open end at `end` for the window test only.
  [[nodiscard]] WatchSummary Finish(WatchTimePoint end) const;

 private:
  [[nodiscard]] bool InWindow(WatchTimePoint t) const;
  std::optional<WatchTimePoint> from_, to_;
  std::vector<EndpointSummary> endpoints_;
  std::map<std::pair<std::size_t, uint64_t>, WatchOutage> outages_;  // (endpoint, id)
  std::vector<WatchPause> pauses_;
  std::optional<WatchTimePoint> first_, last_, started_;
};

// The summary as lines (code page 950 for labels, the rest ASCII): a line per
// endpoint, then the outages with their places, then the totals.
[[nodiscard]] std::vector<std::string> SummaryTextLines(const WatchSummary& summary);

}  // namespace rk
