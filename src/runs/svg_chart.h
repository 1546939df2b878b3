#pragma once
// A small SVG line chart for the HTML reports: UTC time on x, milliseconds on
// y, a few series as polylines, lost samples as marks, outages as hatched
// bands, and a legend. The output is one <svg> element for inline use in an
// HTML page: no script, no external reference, styles in attributes so the
// chart reads the same in any page. Shapes and dash patterns tell the series
// apart as well as the colours do, so a grey print stays readable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// Text for HTML or SVG content and attribute values: & < > " ' as entities.
// UTF-8 passes through unchanged.
[[nodiscard]] std::string EscapeXml(std::string_view utf8);

struct ChartPoint {
  int64_t utcMs = 0;
  double ms = 0;
};

// The three looks a series can take, in legend order.
enum class SeriesLook { Solid, Dashed, Dotted };

struct ChartSeries {
  std::string name;  // the legend's text (UTF-8)
  SeriesLook look = SeriesLook::Solid;
  std::vector<ChartPoint> points;  // in time order
  // Two neighbours further apart than this are not joined: the line has a
  // gap where no sample was taken. 0 joins every neighbour.
  int64_t gapMs = 0;
};

struct ChartBand {
  int64_t startMs = 0;
  int64_t endMs = 0;   // a band still open ends at the chart's end
  std::string title;   // shown on hover (UTF-8)
};

struct ChartMark {
  int64_t utcMs = 0;
  std::string title;  // shown on hover (UTF-8)
};

struct LineChart {
  std::string id;  // unique within the page: names the chart's hatch pattern
  std::string title;  // the chart's accessible name (UTF-8)
  int width = 960;
  int height = 280;
  int64_t startMs = 0;  // the x range, UTC milliseconds
  int64_t endMs = 0;
  std::vector<ChartSeries> series;
  std::vector<ChartBand> bands;
  std::vector<ChartMark> losses;
  std::string lossName = "lost";    // the legend's names for marks and bands
  std::string bandName = "outage";
};

// Where the plot sits inside the chart, in SVG user units.
struct PlotArea {
  double left = 0, top = 0, right = 0, bottom = 0;
};
[[nodiscard]] PlotArea PlotAreaOf(const LineChart& chart);

// "Nice" y ticks from 0 to at least `maxValue`: steps of 1, 2 or 5 times a
// power of ten, at most `maxTicks` + 1 values, the last one >= maxValue.
// A maximum of 0 or less gives 0 and 1.
[[nodiscard]] std::vector<double> NiceTicks(double maxValue, int maxTicks);

struct TimeTick {
  int64_t utcMs = 0;
  std::string label;  // "HH:MM:SS" below a minute's step, "HH:MM" below a day's, else "MM-DD"
};
// Clock ticks on whole steps of UTC time (1 s .. 1 day) inside [startMs,
// endMs], at most `maxTicks` of them.
[[nodiscard]] std::vector<TimeTick> TimeTicks(int64_t startMs, int64_t endMs, int maxTicks);

// At most two points per pixel column of [startMs, endMs] across `columns`
// columns: each column's lowest and highest, in time order, so that a spike
// or a dip survives the thinning. Points outside the range are dropped.
[[nodiscard]] std::vector<ChartPoint> ThinPoints(const std::vector<ChartPoint>& points,
                                                 int64_t startMs, int64_t endMs, int columns);

// The chart as one <svg> element.
[[nodiscard]] std::string SvgChart(const LineChart& chart);

// A share bar: one bar split by count into parts, the good ones solid, the
// others hatched, each named with its count in the legend below. Parts with
// a count of 0 are left out; a part that has any is at least 3 units wide.
struct BarPart {
  std::string name;  // UTF-8
  std::size_t count = 0;
  bool good = false;
};
[[nodiscard]] std::string SvgShareBar(const std::string& id, const std::string& title,
                                      const std::vector<BarPart>& parts, int width = 960);

}  // namespace rk
