#include "runs/watch_rows.h"

#include <gtest/gtest.h>

#include "base/texts.h"

namespace rk {
namespace {

using std::chrono::milliseconds;

WatchTime At(int64_t utcMs) { return WatchTime(milliseconds(utcMs)); }
constexpr int64_t kNoon = 1'796'990'400'000;  // 2026-12-12T12:00:00Z
constexpr int kTaipei = 8 * 60;

TEST(WatchRows, CellsSayWhatTheWatchKnowsInTheLocalClock) {
  EndpointSnapshot row;
  row.state = WatchState::Waiting;
  EXPECT_EQ(WatchCell(row, WatchColumn::P50, kTaipei), "") << "nothing before the first sample";
  EXPECT_EQ(WatchCell(row, WatchColumn::Last, kTaipei), "");
  row.samples = 8;
  row.p50 = 12.25;
  row.lossRatio = 0.125;
  row.state = WatchState::Down;
  EXPECT_EQ(WatchCell(row, WatchColumn::Last, kTaipei), text::kWatchLost) << "the last connect failed";
  EXPECT_EQ(WatchCell(row, WatchColumn::Loss, kTaipei), "12.5%");
  EXPECT_EQ(WatchCell(row, WatchColumn::P50, kTaipei), "12.2");
  row.lossRatio = 1.0;
  EXPECT_EQ(WatchCell(row, WatchColumn::P50, kTaipei), "") << "no answered connect, no percentile";
  EXPECT_EQ(WatchCell(row, WatchColumn::Loss, kTaipei), "100.0%");
  EXPECT_EQ(WatchCell(row, WatchColumn::State, kTaipei), text::kWatchStateDown);
  row.lastMs = 3.0;
  EXPECT_EQ(WatchCell(row, WatchColumn::Last, kTaipei), "3.0 ms");

  WatchOutage outage;
  outage.start = At(kNoon + 5'000);
  row.lastOutage = outage;
  EXPECT_EQ(WatchCell(row, WatchColumn::LastOutage, kTaipei),
            std::string("20:00:05 ") + text::kWatchOngoing);
  row.lastOutage->end = At(kNoon + 5'000 + 125'000);
  EXPECT_EQ(WatchCell(row, WatchColumn::LastOutage, -5 * 60), "07:00:05 2 min 05 s");
}

TEST(WatchRows, ChartKeepsTheSpanClipsOutagesAndMarksLosses) {
  EndpointSnapshot row;
  const auto point = [](int64_t ms, std::optional<double> connect, std::optional<double> echo) {
    return WatchPoint{At(ms), connect, echo};
  };
  row.recent = {point(kNoon - 700'000, 9.0, std::nullopt),  // before a 10-minute span
                point(kNoon - 60'000, 4.0, 2.0), point(kNoon - 55'000, std::nullopt, 2.5),
                point(kNoon - 50'000, 5.0, std::nullopt)};
  WatchOutage early, open;
  early.start = At(kNoon - 900'000);
  early.end = At(kNoon - 590'000);
  open.start = At(kNoon - 30'000);
  WatchOutage gone = early;
  gone.end = At(kNoon - 800'000);
  const LatencyChart chart =
      LatencyChartOf(row, {gone, early, open}, At(kNoon - 3'600'000), At(kNoon), 600'000, 5'000, kTaipei);
  const int64_t end = kNoon + int64_t{kTaipei} * 60'000;
  EXPECT_EQ(chart.endMs, end);
  EXPECT_EQ(chart.startMs, end - 600'000);
  EXPECT_EQ(chart.connect, (std::vector<std::pair<int64_t, double>>{{end - 60'000, 4.0}, {end - 50'000, 5.0}}));
  EXPECT_EQ(chart.echo.size(), 2u);
  EXPECT_EQ(chart.lost, std::vector<int64_t>{end - 55'000});
  EXPECT_EQ(chart.outages, (std::vector<std::pair<int64_t, int64_t>>{{end - 600'000, end - 590'000},
                                                                     {end - 30'000, end}}))
      << "one ended before the span is left out, one begun before it starts at its edge, an open "
         "one lasts until now";
  EXPECT_EQ(chart.gapMs, 15'000);
  EXPECT_EQ(LatencyChartOf(row, {}, At(kNoon - 200'000), At(kNoon), 600'000, 5'000, 0).startMs,
            kNoon - 200'000)
      << "a watch younger than the span fills the width from its start";
  EXPECT_EQ(LatencyChartOf(row, {}, At(kNoon - 5'000), At(kNoon), 600'000, 5'000, 0).startMs,
            kNoon - 60'000)
      << "but shows a minute at least";
}

}  // namespace
}  // namespace rk
