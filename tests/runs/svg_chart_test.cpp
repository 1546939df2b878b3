#include "runs/svg_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace rk {
namespace {

using testing::Occurrences;

constexpr int64_t kHourMs = 3600 * 1000;
constexpr int64_t kDayStartMs = 1796515200000;  // 2026-12-06 00:00:00 UTC

TEST(SvgChart, NiceTicksStartAtZeroStepOneTwoOrFiveAndJustCoverTheMaximum) {
  const std::pair<double, std::vector<double>> rows[] = {
      {7, {0, 2, 4, 6, 8}}, {100, {0, 20, 40, 60, 80, 100}}, {1234, {0, 500, 1000, 1500}}, {0, {0, 1}}};
  for (const auto& [maximum, ticks] : rows) EXPECT_EQ(NiceTicks(maximum, 5), ticks) << maximum;
}

TEST(SvgChart, ClockTicksFitTheSpanOnWholeStepsInsideIt) {
  const struct { int64_t start, end; std::size_t count; int64_t step; const char *first, *second; } rows[] = {
      {kDayStartMs + 1500, kDayStartMs + 41500, 8, 5000, "00:00:05", "00:00:10"},
      {kDayStartMs + 7 * 60000 + 3, kDayStartMs + 27 * 60000, 10, 120000, "00:08", "00:10"},
      {kDayStartMs, kDayStartMs + 24 * kHourMs, 9, 3 * kHourMs, "00:00", "03:00"},  // 2 h: 13 ticks
      {kDayStartMs, kDayStartMs + 20 * 24 * kHourMs, 10, 48 * kHourMs, "12-07", "12-09"}};
  for (const auto& row : rows) {
    const std::vector<TimeTick> ticks = TimeTicks(row.start, row.end, 10);
    ASSERT_EQ(ticks.size(), row.count) << row.first;
    for (std::size_t i = 1; i < ticks.size(); ++i)
      EXPECT_EQ(ticks[i].utcMs - ticks[i - 1].utcMs, row.step) << row.first;
    EXPECT_EQ(ticks[0].label + " " + ticks[1].label, std::string(row.first) + " " + row.second);
  }
}

TEST(SvgChart, ThinningKeepsEachColumnsLowestAndHighestInTimeOrder) {
  std::vector<ChartPoint> points;
  for (int i = 0; i < 100000; ++i)
    points.push_back({i * 1000LL, 50 + 20 * std::sin(i * 0.37) + (i == 31337 ? 900 : 0) - (i == 77777 ? 49 : 0)});
  const std::vector<ChartPoint> kept = ThinPoints(points, 0, 100000 * 1000LL, 500);
  EXPECT_LE(kept.size(), 1000u);
  EXPECT_GE(kept.size(), 500u);
  const auto later = [](const ChartPoint& a, const ChartPoint& b) { return a.utcMs >= b.utcMs; };
  EXPECT_EQ(std::adjacent_find(kept.begin(), kept.end(), later), kept.end()) << "out of time order";
  const auto holds = [&](int64_t ms) {
    return std::any_of(kept.begin(), kept.end(), [&](const ChartPoint& p) { return p.utcMs == ms; });
  };
  EXPECT_TRUE(holds(31337000) && holds(77777000)) << "the spike and the dip";
}

class SvgChartDrawing : public ::testing::Test {
 protected:
  LineChart Day() const {
    LineChart chart;
    chart.id = "c1";
    chart.title = "day";
    chart.startMs = kDayStartMs;
    chart.endMs = kDayStartMs + 24 * kHourMs;
    return chart;
  }
};

TEST_F(SvgChartDrawing, LinesBreakWhereNoSampleWasTaken) {
  LineChart chart = Day();
  ChartSeries series{"connect", SeriesLook::Solid, {}, 90000};
  for (const int m : {0, 1, 2, 3, 10, 11, 12, 30}) series.points.push_back({chart.startMs + m * 60000LL, 10.0 + m});
  chart.series.push_back(series);
  std::string svg = SvgChart(chart);
  EXPECT_EQ(Occurrences(svg, "<polyline"), 2u);
  EXPECT_EQ(Occurrences(svg, "<circle"), 1u);  // the lone minute 30
  chart.series[0].gapMs = 0;
  svg = SvgChart(chart);
  EXPECT_EQ(Occurrences(svg, "<polyline"), 1u);
  EXPECT_EQ(Occurrences(svg, "<circle"), 0u);
}

TEST_F(SvgChartDrawing, OutageBandsSpanTheirTimeAndAnOpenOneEndsAtTheChartsEnd) {
  LineChart chart = Day();
  chart.bands.push_back({chart.startMs + 6 * kHourMs, chart.startMs + 12 * kHourMs, "a"});
  chart.bands.push_back({chart.startMs + 23 * kHourMs, chart.startMs + 30 * kHourMs, "b"});  // past the end
  const std::string svg = SvgChart(chart);
  const std::regex band("class=\"outage-band\" x=\"([0-9.]+)\" y=\"[0-9.]+\" width=\"([0-9.]+)\"");
  std::vector<std::pair<double, double>> found;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), band); it != std::sregex_iterator(); ++it)
    found.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_NEAR(found[0].second, 6 * found[1].second, 0.5) << "six hours against the one left of the second";
  EXPECT_NEAR(found[1].first - found[0].first, 17 * found[1].second, 1.0);
  EXPECT_NEAR(found[1].first + found[1].second, PlotAreaOf(chart).right, 0.1);
}

TEST_F(SvgChartDrawing, TextsAreEscapedAndNothingOutsideIsReferenced) {
  LineChart chart = Day();
  chart.title = "R&D <\"a\">";
  chart.series.push_back({"<b>&\"x\"", SeriesLook::Dashed, {{chart.startMs, 1}, {chart.startMs + 60000, 2}}, 0});
  chart.bands.push_back({chart.startMs, chart.startMs + kHourMs, "</title><script>"});
  chart.losses.push_back({chart.startMs + 5, "lost"});
  chart.lossName = "a<b";
  const std::string svg = SvgChart(chart);
  EXPECT_NE(svg.find("R&amp;D &lt;&quot;a&quot;&gt;"), std::string::npos);
  EXPECT_NE(svg.find("&lt;b&gt;&amp;&quot;x&quot;"), std::string::npos);
  EXPECT_EQ(svg.find("<script"), std::string::npos);
  EXPECT_EQ(svg.find("<b>"), std::string::npos);
  EXPECT_EQ(svg.find("a<b"), std::string::npos);
  EXPECT_EQ(svg.find("http"), std::string::npos);
  EXPECT_EQ(Occurrences(svg, "class=\"loss-marks\""), 1u);
}

}  // namespace
}  // namespace rk
