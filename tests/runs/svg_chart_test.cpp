#include "runs/svg_chart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace rk {
namespace {

constexpr int64_t kHourMs = 3600 * 1000;
constexpr int64_t kDayStartMs = 1796515200000;  // 2026-12-06 00:00:00 UTC

// The numbers of every `attribute="N"` inside the <g class="group"> of `svg`.
std::vector<double> GroupValues(const std::string& svg, const std::string& group,
                                const std::string& attribute) {
  const auto start = svg.find("<g class=\"" + group + "\"");
  const auto end = svg.find("</g>", start);
  std::vector<double> values;
  const std::string part = svg.substr(start, end - start);
  const std::regex pattern(" " + attribute + "=\"([-0-9.]+)\"");
  for (auto it = std::sregex_iterator(part.begin(), part.end(), pattern); it != std::sregex_iterator(); ++it)
    values.push_back(std::stod((*it)[1]));
  return values;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(SvgChart, NiceTicksStartAtZeroStepOneTwoOrFiveAndJustCoverTheMaximum) {
  for (const double maximum : {0.3, 1.0, 7.0, 99.9, 100.0, 1234.0, 10000.0}) {
    const std::vector<double> ticks = NiceTicks(maximum, 5);
    ASSERT_GE(ticks.size(), 2u) << maximum;
    EXPECT_LE(ticks.size(), 6u) << maximum;
    EXPECT_EQ(ticks.front(), 0.0);
    const double step = ticks[1];
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
                std::abs(mantissa - 5) < 1e-9) << maximum << " step " << step;
    EXPECT_GE(ticks.back(), maximum - 1e-9);
    EXPECT_LT(ticks.back() - step, maximum) << "a whole step above the maximum: " << maximum;
  }
  EXPECT_EQ(NiceTicks(0, 5), (std::vector<double>{0, 1}));
}

TEST(SvgChart, ClockTicksFitTheSpanOnWholeStepsInsideIt) {
  struct Case {
    int64_t start, end;
    const char* label;  // the form every label takes
  };
  const Case cases[] = {
      {kDayStartMs + 1500, kDayStartMs + 41500, "^\\d\\d:\\d\\d:\\d\\d$"},       // 40 s
      {kDayStartMs + 7 * 60000 + 3, kDayStartMs + 27 * 60000, "^\\d\\d:\\d\\d$"},  // 20 min
      {kDayStartMs, kDayStartMs + 24 * kHourMs, "^\\d\\d:\\d\\d$"},               // a day
      {kDayStartMs, kDayStartMs + 20 * 24 * kHourMs, "^\\d\\d-\\d\\d$"},          // 20 days
  };
  for (const Case& c : cases) {
    const std::vector<TimeTick> ticks = TimeTicks(c.start, c.end, 10);
    ASSERT_GE(ticks.size(), 2u) << c.label;
    EXPECT_LE(ticks.size(), 10u);
    const int64_t step = ticks[1].utcMs - ticks[0].utcMs;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_GE(ticks[i].utcMs, c.start);
      EXPECT_LE(ticks[i].utcMs, c.end);
      EXPECT_EQ(ticks[i].utcMs % step, 0) << "not on a whole step: " << ticks[i].label;
      if (i > 0) {
        EXPECT_EQ(ticks[i].utcMs - ticks[i - 1].utcMs, step);
      }
      EXPECT_TRUE(std::regex_match(ticks[i].label, std::regex(c.label))) << ticks[i].label;
    }
    EXPECT_GE(ticks.size(), 4u) << "too coarse a step for " << c.label;
  }
  const std::vector<TimeTick> day = TimeTicks(kDayStartMs, kDayStartMs + 24 * kHourMs, 10);
  EXPECT_EQ(day[1].label, "03:00");  // 2 h would take 13 ticks
}

TEST(SvgChart, ThinningKeepsEachColumnsLowestAndHighestInTimeOrder) {
  std::vector<ChartPoint> points;
  for (int i = 0; i < 100000; ++i)
    points.push_back({i * 1000LL, 50 + 20 * std::sin(i * 0.37) + (i == 31337 ? 900 : 0) - (i == 77777 ? 49 : 0)});
  const std::vector<ChartPoint> kept = ThinPoints(points, 0, 100000 * 1000LL, 500);
  EXPECT_LE(kept.size(), 1000u);
  EXPECT_GE(kept.size(), 500u);
  bool spike = false, dip = false;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) {
      EXPECT_LT(kept[i - 1].utcMs, kept[i].utcMs);
    }
    spike = spike || kept[i].utcMs == 31337000;
    dip = dip || kept[i].utcMs == 77777000;
  }
  EXPECT_TRUE(spike && dip);
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

TEST_F(SvgChartDrawing, TickLabelsSitBesideThePlotAndEveryValueInsideIt) {
  LineChart chart = Day();
  ChartSeries series{"connect", SeriesLook::Solid, {}, 0};
  for (int m = 0; m < 1440; ++m) series.points.push_back({chart.startMs + m * 60000LL, 3 + m % 97 * 4.1});
  chart.series.push_back(series);
  const std::string svg = SvgChart(chart);
  const PlotArea plot = PlotAreaOf(chart);
  for (const double y : GroupValues(svg, "y-ticks", "y")) {
    EXPECT_GE(y, plot.top);
    EXPECT_LE(y, plot.bottom + 6);
  }
  const std::vector<double> xs = GroupValues(svg, "x-ticks", "x");
  ASSERT_GE(xs.size(), 5u);
  for (std::size_t i = 0; i < xs.size(); ++i) {
    EXPECT_GE(xs[i], plot.left);
    EXPECT_LE(xs[i], plot.right);
    // "HH:MM" in 12-unit type takes about 40 units: neighbours must not touch.
    if (i > 0) {
      EXPECT_GE(xs[i] - xs[i - 1], 48) << "labels overlap";
    }
  }
  // The y labels are whole numbers up to the top tick, which is above the highest value.
  const std::regex labels(">(\\d+)</text>");
  const auto start = svg.find("<g class=\"y-ticks\"");
  const std::string part = svg.substr(start, svg.find("</g>", start) - start);
  double top = 0;
  for (auto it = std::sregex_iterator(part.begin(), part.end(), labels); it != std::sregex_iterator(); ++it)
    top = std::max(top, std::stod((*it)[1]));
  EXPECT_GE(top, 3 + 96 * 4.1);
  EXPECT_LT(top, 2 * (3 + 96 * 4.1));
}

TEST_F(SvgChartDrawing, LinesBreakWhereNoSampleWasTaken) {
  LineChart chart = Day();
  ChartSeries series{"connect", SeriesLook::Solid, {}, 90000};
  for (const int m : {0, 1, 2, 3, 10, 11, 12, 30}) series.points.push_back({chart.startMs + m * 60000LL, 10.0 + m});
  chart.series.push_back(series);
  std::string svg = SvgChart(chart);
  EXPECT_EQ(Count(svg, "<polyline"), 2u);
  EXPECT_EQ(Count(svg, "<circle"), 1u);  // the lone minute 30
  chart.series[0].gapMs = 0;
  svg = SvgChart(chart);
  EXPECT_EQ(Count(svg, "<polyline"), 1u);
  EXPECT_EQ(Count(svg, "<circle"), 0u);
}

TEST_F(SvgChartDrawing, OutageBandsSpanTheirTimeAndAnOpenOneEndsAtTheChartsEnd) {
  LineChart chart = Day();
  chart.bands.push_back({chart.startMs + 6 * kHourMs, chart.startMs + 12 * kHourMs, "a"});
  chart.bands.push_back({chart.startMs + 23 * kHourMs, chart.startMs + 30 * kHourMs, "b"});  // past the end
  const std::string svg = SvgChart(chart);
  const PlotArea plot = PlotAreaOf(chart);
  const double width = plot.right - plot.left;
  const std::regex band("class=\"outage-band\" x=\"([0-9.]+)\" y=\"[0-9.]+\" width=\"([0-9.]+)\"");
  std::vector<std::pair<double, double>> found;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), band); it != std::sregex_iterator(); ++it)
    found.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_NEAR(found[0].first, plot.left + width / 4, 0.1);
  EXPECT_NEAR(found[0].second, width / 4, 0.1);
  EXPECT_NEAR(found[1].first, plot.left + width * 23 / 24, 0.1);
  EXPECT_NEAR(found[1].first + found[1].second, plot.right, 0.1);
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
  EXPECT_EQ(Count(svg, "class=\"loss-marks\""), 1u);
}

}  // namespace
}  // namespace rk
