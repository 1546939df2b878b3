#include "runs/watch_rows.h"

#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "base/texts.h"

namespace rk {

namespace {

constexpr int64_t kLeastChartSpanMs = 60'000;

int64_t LocalMs(WatchTime t, int localOffsetMinutes) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() +
         int64_t{localOffsetMinutes} * 60'000;
}

std::string ClockText(int64_t localMs) {
  const int64_t secondsOfDay = ((localMs / 1000) % 86400 + 86400) % 86400;
  return Format("%02d:%02d:%02d", static_cast<int>(secondsOfDay / 3600),
                static_cast<int>(secondsOfDay / 60 % 60), static_cast<int>(secondsOfDay % 60));
}

const char* StateText(WatchState state) {
  switch (state) {
    case WatchState::Waiting: return text::kWatchStateWaiting;
    case WatchState::Up: return text::kWatchStateUp;
    case WatchState::Down: return text::kWatchStateDown;
    case WatchState::Paused: return text::kWatchStatePaused;
    case WatchState::Unresolved: return text::kWatchStateUnresolved;
    case WatchState::NotWatched: break;
  }
  return text::kWatchStateNotWatched;
}

}  // namespace

const char* WatchColumnTitle(WatchColumn column) {
  switch (column) {
    case WatchColumn::Host: return text::kWatchColumnHost;
    case WatchColumn::Address: return text::kWatchColumnAddress;
    case WatchColumn::State: return text::kWatchColumnState;
    case WatchColumn::Last: return text::kWatchColumnLast;
    case WatchColumn::P50: return "p50";
    case WatchColumn::P95: return "p95";
    case WatchColumn::Loss: return text::kWatchColumnLoss;
    case WatchColumn::Outages: return text::kWatchColumnOutages;
    case WatchColumn::LastOutage: break;
  }
  return text::kWatchColumnLastOutage;
}

std::string WatchCell(const EndpointSnapshot& row, WatchColumn column, int localOffsetMinutes) {
  // Percentiles and loss mean nothing before the first sample, percentiles nothing without an
  // answered one: those cells stay empty.
  const bool sampled = row.samples > 0;
  const bool answered = sampled && row.lossRatio < 1.0;
  switch (column) {
    case WatchColumn::Host: return row.label;
    case WatchColumn::Address: return row.addressPort;
    case WatchColumn::State: return StateText(row.state);
    case WatchColumn::Last:
      if (row.lastMs) return Format("%.1f ms", *row.lastMs);
      return sampled ? text::kWatchLost : "";
    case WatchColumn::P50: return answered ? Format("%.1f", row.p50) : "";
    case WatchColumn::P95: return answered ? Format("%.1f", row.p95) : "";
    case WatchColumn::Loss: return sampled ? Format("%.1f%%", 100.0 * row.lossRatio) : "";
    case WatchColumn::Outages: return Format("%d", static_cast<int>(row.outages));
    case WatchColumn::LastOutage: break;
  }
  if (!row.lastOutage) return "";
  const WatchOutage& outage = *row.lastOutage;
  const std::string start = ClockText(LocalMs(outage.start, localOffsetMinutes));
  if (!outage.end) return start + " " + text::kWatchOngoing;
  return start + " " + DurationText(outage.DurationMs(*outage.end));
}

LatencyChart LatencyChartOf(const EndpointSnapshot& row, const std::vector<WatchOutage>& outages,
                            WatchTime started, WatchTime now, uint32_t spanMs, uint32_t intervalMs,
                            int localOffsetMinutes) {
  LatencyChart chart;
  chart.endMs = LocalMs(now, localOffsetMinutes);
  // A young watch fills the width from its start (a minute at least) rather than squeezing its
  // first samples against the right edge of an empty span.
  chart.startMs = std::min(std::max(chart.endMs - int64_t{spanMs}, LocalMs(started, localOffsetMinutes)),
                           chart.endMs - kLeastChartSpanMs);
  chart.gapMs = int64_t{3} * intervalMs;
  for (const WatchPoint& point : row.recent) {
    const int64_t at = LocalMs(point.time, localOffsetMinutes);
    if (at < chart.startMs || at > chart.endMs) continue;
    if (point.connectMs)
      chart.connect.emplace_back(at, *point.connectMs);
    else
      chart.lost.push_back(at);
    if (point.echoMs) chart.echo.emplace_back(at, *point.echoMs);
  }
  for (const WatchOutage& outage : outages) {
    const int64_t from = LocalMs(outage.start, localOffsetMinutes);
    const int64_t to = outage.end ? LocalMs(*outage.end, localOffsetMinutes) : chart.endMs;
    if (to < chart.startMs || from > chart.endMs) continue;
    chart.outages.emplace_back(std::max(from, chart.startMs), std::min(to, chart.endMs));
  }
  if (row.lastOutage) chart.conclusion = row.lastOutage->conclusion;
  return chart;
}

}  // namespace rk
