#pragma once
// What the watch window shows of a running watch: one table row per endpoint (code page 950
// cells, like every text of the window) and the chart of one endpoint over the last minutes.
// Times are shown on the local clock: traders read "the open" in their own time.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runs/watch.h"

namespace rk {

enum class WatchColumn { Host, Address, State, Last, P50, P95, Loss, Outages, LastOutage };
inline constexpr std::array<WatchColumn, 9> kWatchColumns = {
    WatchColumn::Host, WatchColumn::Address, WatchColumn::State,   WatchColumn::Last,
    WatchColumn::P50,  WatchColumn::P95,     WatchColumn::Loss,    WatchColumn::Outages,
    WatchColumn::LastOutage};

[[nodiscard]] const char* WatchColumnTitle(WatchColumn column);
// A cell; `localOffsetMinutes` turns UTC into the local clock.
[[nodiscard]] std::string WatchCell(const EndpointSnapshot& row, WatchColumn column,
                                    int localOffsetMinutes);

// One endpoint's chart, in milliseconds of the local clock.
struct LatencyChart {
  int64_t startMs = 0, endMs = 0;
  std::vector<std::pair<int64_t, double>> connect, echo;  // answered samples, oldest first
  std::vector<int64_t> lost;                              // connects that failed or were skipped
  std::vector<std::pair<int64_t, int64_t>> outages;       // clipped to the span
  int64_t gapMs = 0;  // neighbours further apart are not joined (the watch paused)
  std::string conclusion;  // the last outage's, one line (code page 950)
};

// The chart of `row` over the `spanMs` up to `now`, or from the watch's start when that is
// later (a minute at least); `outages` are the endpoint's (the summary's), an open one lasting
// until now.
[[nodiscard]] LatencyChart LatencyChartOf(const EndpointSnapshot& row,
                                          const std::vector<WatchOutage>& outages,
                                          WatchTime started, WatchTime now, uint32_t spanMs,
                                          uint32_t intervalMs, int localOffsetMinutes);

}  // namespace rk
