#include "runs/svg_chart.h"

#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "base/utc_time.h"

namespace rk {

namespace {

constexpr int64_t kSecondMs = 1000;
constexpr int64_t kMinuteMs = 60 * kSecondMs;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kDayMs = 24 * kHourMs;

// Clock steps a reader counts in; every one divides a day, so the ticks of
// each fall on the same clock times every day.
constexpr int64_t kTimeStepsMs[] = {
    kSecondMs,      2 * kSecondMs,  5 * kSecondMs,  10 * kSecondMs, 15 * kSecondMs,
    30 * kSecondMs, kMinuteMs,      2 * kMinuteMs,  5 * kMinuteMs,  10 * kMinuteMs,
    15 * kMinuteMs, 30 * kMinuteMs, kHourMs,        2 * kHourMs,    3 * kHourMs,
    6 * kHourMs,    12 * kHourMs,   kDayMs,
};

// Room around the plot: the legend and, under it, the strip of loss marks
// above (so that no mark hides a line), the y labels and the axis name on the
// left, the clock labels and the axis name below.
constexpr double kLeftMargin = 62;
constexpr double kRightMargin = 18;
constexpr double kTopMargin = 46;
constexpr double kBottomMargin = 42;

struct Look {
  const char* colour;
  const char* dash;  // stroke-dasharray, empty for a solid line
  double width;
};
// Dark enough to tell from the white page in grey print, and told apart by
// their dashes there.
Look LookOf(SeriesLook look) {
  switch (look) {
    case SeriesLook::Solid: return {"#1d4e89", "", 1.6};
    case SeriesLook::Dashed: return {"#c05600", "7 4", 1.6};
    case SeriesLook::Dotted: return {"#2f7d32", "1.5 3", 1.8};
  }
  return {"#000", "", 1};
}
constexpr char kLossColour[] = "#b00020";
constexpr char kBandColour[] = "#d9534f";

int64_t FloorDiv(int64_t value, int64_t step) {
  const int64_t q = value / step;
  return (value % step != 0 && value < 0) ? q - 1 : q;
}

// "2026-12-06 14:05".
std::string MinuteText(int64_t utcMs) {
  const std::string iso = IsoUtc(FloorDiv(utcMs, kSecondMs));
  return iso.substr(0, 10) + " " + iso.substr(11, 5);
}

std::string SvgNumber(double value) {
  return Format("%.1f", std::round(value * 10.0) / 10.0);
}

std::string TickText(double value) {
  if (value == std::floor(value) && std::abs(value) < 1e15) return Format("%.0f", value);
  return Format("%g", value);
}

struct Scale {
  PlotArea plot;
  int64_t startMs = 0, endMs = 1;
  double top = 1;  // the value at the plot's top
  [[nodiscard]] double X(int64_t utcMs) const {
    return plot.left + static_cast<double>(utcMs - startMs) * (plot.right - plot.left) /
                           static_cast<double>(endMs - startMs);
  }
  [[nodiscard]] double Y(double ms) const {
    return plot.bottom - std::clamp(ms, 0.0, top) * (plot.bottom - plot.top) / top;
  }
};

// Splits a series where neighbours lie more than gapMs apart.
std::vector<std::vector<ChartPoint>> Runs(const ChartSeries& series, int64_t startMs, int64_t endMs) {
  std::vector<std::vector<ChartPoint>> runs;
  const ChartPoint* previous = nullptr;
  for (const ChartPoint& point : series.points) {
    if (point.utcMs < startMs || point.utcMs > endMs || !std::isfinite(point.ms)) continue;
    if (previous == nullptr || (series.gapMs > 0 && point.utcMs - previous->utcMs > series.gapMs))
      runs.emplace_back();
    runs.back().push_back(point);
    previous = &point;
  }
  return runs;
}

void Legend(std::string& svg, const LineChart& chart, double y) {
  double x = kLeftMargin;
  const auto advance = [&x](std::string_view text) {
    // A rough width: CJK characters take about two Latin ones.
    double units = 0;
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      units += c < 0x80 ? 1.0 : ((c & 0xC0) == 0xC0 ? 2.0 : 0.0);
    }
    x += 34 + units * 6.6 + 18;
  };
  for (const ChartSeries& series : chart.series) {
    const Look look = LookOf(series.look);
    svg += Format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\" stroke=\"%s\" stroke-width=\"2.2\"%s/>",
                  SvgNumber(x).c_str(), SvgNumber(y).c_str(), SvgNumber(x + 28).c_str(), SvgNumber(y).c_str(),
                  look.colour,
                  *look.dash ? Format(" stroke-dasharray=\"%s\"", look.dash).c_str() : "");
    svg += Format("<text x=\"%s\" y=\"%s\">%s</text>", SvgNumber(x + 34).c_str(), SvgNumber(y + 4).c_str(),
                  EscapeXml(series.name).c_str());
    advance(series.name);
  }
  svg += Format("<path d=\"M%s %sl8 8m0 -8l-8 8\" stroke=\"%s\" stroke-width=\"2\"/>",
                SvgNumber(x + 10).c_str(), SvgNumber(y - 4).c_str(), kLossColour);
  svg += Format("<text x=\"%s\" y=\"%s\">%s</text>", SvgNumber(x + 34).c_str(), SvgNumber(y + 4).c_str(),
                EscapeXml(chart.lossName).c_str());
  advance(chart.lossName);
  svg += Format("<rect x=\"%s\" y=\"%s\" width=\"28\" height=\"12\" fill=\"url(#%s-hatch)\" "
                "stroke=\"%s\"/>",
                SvgNumber(x).c_str(), SvgNumber(y - 6).c_str(), EscapeXml(chart.id).c_str(), kBandColour);
  svg += Format("<text x=\"%s\" y=\"%s\">%s</text>", SvgNumber(x + 34).c_str(), SvgNumber(y + 4).c_str(),
                EscapeXml(chart.bandName).c_str());
}

}  // namespace

std::string EscapeXml(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

PlotArea PlotAreaOf(const LineChart& chart) {
  return {kLeftMargin, kTopMargin, std::max(kLeftMargin + 1, chart.width - kRightMargin),
          std::max(kTopMargin + 1, chart.height - kBottomMargin)};
}

std::vector<double> NiceTicks(double maxValue, int maxTicks) {
  maxTicks = std::max(maxTicks, 1);
  if (!(maxValue > 0) || !std::isfinite(maxValue)) return {0, 1};
  const double rough = maxValue / maxTicks;
  double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (std::ceil(maxValue / step - 1e-9) <= maxTicks) break;
  }
  const auto count = static_cast<int>(std::ceil(maxValue / step - 1e-9));
  std::vector<double> ticks;
  for (int i = 0; i <= count; ++i) ticks.push_back(step * i);
  return ticks;
}

std::vector<TimeTick> TimeTicks(int64_t startMs, int64_t endMs, int maxTicks) {
  maxTicks = std::max(maxTicks, 1);
  std::vector<TimeTick> ticks;
  if (endMs <= startMs) return ticks;
  int64_t step = kDayMs;
  for (const int64_t candidate : kTimeStepsMs) {
    if (FloorDiv(endMs, candidate) - FloorDiv(startMs - 1, candidate) <= maxTicks) {
      step = candidate;
      break;
    }
  }
  // Past a day's step: whole days, as many as it takes to stay within the count.
  if (step == kDayMs)
    while (FloorDiv(endMs, step) - FloorDiv(startMs - 1, step) > maxTicks) step += kDayMs;
  for (int64_t at = (FloorDiv(startMs - 1, step) + 1) * step; at <= endMs; at += step) {
    const std::string iso = IsoUtc(FloorDiv(at, kSecondMs));  // YYYY-MM-DDTHH:MM:SSZ
    const std::string label = step < kMinuteMs ? iso.substr(11, 8)
                              : step < kDayMs  ? iso.substr(11, 5)
                                               : iso.substr(5, 5);
    ticks.push_back({at, label});
  }
  return ticks;
}

std::vector<ChartPoint> ThinPoints(const std::vector<ChartPoint>& points, int64_t startMs,
                                   int64_t endMs, int columns) {
  std::vector<ChartPoint> kept;
  if (endMs <= startMs || columns <= 0) return kept;
  const auto columnOf = [&](int64_t utcMs) {
    const auto column = static_cast<int64_t>(static_cast<double>(utcMs - startMs) * columns /
                                             static_cast<double>(endMs - startMs));
    return std::min<int64_t>(column, columns - 1);
  };
  int64_t column = -1;
  std::size_t low = 0, high = 0;
  const auto flush = [&] {
    if (column < 0) return;
    kept.push_back(points[std::min(low, high)]);
    if (low != high) kept.push_back(points[std::max(low, high)]);
  };
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (points[i].utcMs < startMs || points[i].utcMs > endMs) continue;
    const int64_t here = columnOf(points[i].utcMs);
    if (here != column) {
      flush();
      column = here;
      low = high = i;
      continue;
    }
    if (points[i].ms < points[low].ms) low = i;
    if (points[i].ms > points[high].ms) high = i;
  }
  flush();
  return kept;
}

std::string SvgChart(const LineChart& chart) {
  Scale scale;
  scale.plot = PlotAreaOf(chart);
  scale.startMs = chart.startMs;
  scale.endMs = chart.endMs > chart.startMs ? chart.endMs : chart.startMs + kSecondMs;
  const PlotArea& plot = scale.plot;
  const int columns = static_cast<int>(plot.right - plot.left);

  std::vector<std::vector<std::vector<ChartPoint>>> seriesRuns;
  double highest = 0;
  for (const ChartSeries& series : chart.series) {
    seriesRuns.push_back(Runs(series, scale.startMs, scale.endMs));
    for (auto& run : seriesRuns.back()) {
      run = ThinPoints(run, scale.startMs, scale.endMs, columns);
      for (const ChartPoint& point : run) highest = std::max(highest, point.ms);
    }
  }
  const std::vector<double> yTicks =
      NiceTicks(highest, std::max(2, static_cast<int>((plot.bottom - plot.top) / 40)));
  scale.top = yTicks.back();
  const std::string id = EscapeXml(chart.id);

  std::string svg = Format(
      "<svg class=\"chart\" id=\"%s\" viewBox=\"0 0 %d %d\" "
      "width=\"%d\" height=\"%d\" role=\"img\" aria-label=\"%s\" font-family=\"sans-serif\" "
      "font-size=\"12\" fill=\"#222\">",
      id.c_str(), chart.width, chart.height, chart.width, chart.height, EscapeXml(chart.title).c_str());
  svg += Format(
      "<defs><pattern id=\"%s-hatch\" width=\"7\" height=\"7\" patternUnits=\"userSpaceOnUse\" "
      "patternTransform=\"rotate(45)\"><rect width=\"7\" height=\"7\" fill=\"#fbe3e2\"/>"
      "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"7\" stroke=\"%s\" stroke-width=\"2.4\"/></pattern></defs>",
      id.c_str(), kBandColour);
  svg += Format("<rect x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" fill=\"#fff\" stroke=\"#888\"/>",
                SvgNumber(plot.left).c_str(), SvgNumber(plot.top).c_str(),
                SvgNumber(plot.right - plot.left).c_str(), SvgNumber(plot.bottom - plot.top).c_str());

  // Outage bands under everything else, at least 2 units wide so a short one shows.
  for (const ChartBand& band : chart.bands) {
    const int64_t start = std::clamp(band.startMs, scale.startMs, scale.endMs);
    const int64_t end = std::clamp(std::max(band.endMs, band.startMs), scale.startMs, scale.endMs);
    const double x = scale.X(start);
    const double width = std::max(2.0, scale.X(end) - x);
    svg += Format("<rect class=\"outage-band\" x=\"%s\" y=\"%s\" width=\"%s\" height=\"%s\" "
                  "fill=\"url(#%s-hatch)\" stroke=\"%s\" stroke-width=\"0.8\"><title>%s</title></rect>",
                  SvgNumber(x).c_str(), SvgNumber(plot.top).c_str(), SvgNumber(width).c_str(),
                  SvgNumber(plot.bottom - plot.top).c_str(), id.c_str(), kBandColour,
                  EscapeXml(band.title).c_str());
  }

  // Grid and y labels.
  svg += "<g stroke=\"#ddd\" stroke-width=\"1\">";
  for (std::size_t i = 1; i < yTicks.size(); ++i)
    svg += Format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\"/>", SvgNumber(plot.left).c_str(),
                  SvgNumber(scale.Y(yTicks[i])).c_str(), SvgNumber(plot.right).c_str(),
                  SvgNumber(scale.Y(yTicks[i])).c_str());
  const std::vector<TimeTick> xTicks = TimeTicks(
      scale.startMs, scale.endMs, std::max(2, static_cast<int>((plot.right - plot.left) / 80)));
  for (const TimeTick& tick : xTicks)
    svg += Format("<line x1=\"%s\" y1=\"%s\" x2=\"%s\" y2=\"%s\"/>", SvgNumber(scale.X(tick.utcMs)).c_str(),
                  SvgNumber(plot.top).c_str(), SvgNumber(scale.X(tick.utcMs)).c_str(),
                  SvgNumber(plot.bottom).c_str());
  svg += "</g><g class=\"y-ticks\" text-anchor=\"end\">";
  for (const double value : yTicks)
    svg += Format("<text x=\"%s\" y=\"%s\">%s</text>", SvgNumber(plot.left - 6).c_str(),
                  SvgNumber(scale.Y(value) + 4).c_str(), TickText(value).c_str());
  svg += "</g><g class=\"x-ticks\" text-anchor=\"middle\">";
  for (const TimeTick& tick : xTicks)
    svg += Format("<text x=\"%s\" y=\"%s\">%s</text>", SvgNumber(scale.X(tick.utcMs)).c_str(),
                  SvgNumber(plot.bottom + 16).c_str(), tick.label.c_str());
  svg += "</g>";
  svg += Format("<text class=\"axis-name\" x=\"%s\" y=\"%s\" text-anchor=\"middle\" "
                "transform=\"rotate(-90 %s %s)\">time (ms)</text>",
                SvgNumber(16).c_str(), SvgNumber((plot.top + plot.bottom) / 2).c_str(), SvgNumber(16).c_str(),
                SvgNumber((plot.top + plot.bottom) / 2).c_str());
  svg += Format("<text class=\"axis-name\" x=\"%s\" y=\"%s\" text-anchor=\"middle\">%s</text>",
                SvgNumber((plot.left + plot.right) / 2).c_str(), SvgNumber(plot.bottom + 34).c_str(),
                ("time (UTC), " + MinuteText(scale.startMs) + " to " + MinuteText(scale.endMs)).c_str());

  // The series: one polyline per run, a dot for a lone point.
  for (std::size_t s = 0; s < chart.series.size(); ++s) {
    const Look look = LookOf(chart.series[s].look);
    svg += Format("<g class=\"series\" fill=\"none\" stroke=\"%s\" stroke-width=\"%s\" "
                  "stroke-linejoin=\"round\"%s>",
                  look.colour, SvgNumber(look.width).c_str(),
                  *look.dash ? Format(" stroke-dasharray=\"%s\"", look.dash).c_str() : "");
    for (const std::vector<ChartPoint>& run : seriesRuns[s]) {
      if (run.size() == 1) {
        svg += Format("<circle cx=\"%s\" cy=\"%s\" r=\"1.6\" fill=\"%s\" stroke=\"none\"/>",
                      SvgNumber(scale.X(run[0].utcMs)).c_str(), SvgNumber(scale.Y(run[0].ms)).c_str(),
                      look.colour);
        continue;
      }
      svg += "<polyline points=\"";
      for (std::size_t i = 0; i < run.size(); ++i) {
        if (i > 0) svg += ' ';
        svg += SvgNumber(scale.X(run[i].utcMs)) + ',' + SvgNumber(scale.Y(run[i].ms));
      }
      svg += "\"/>";
    }
    svg += "</g>";
  }

  // Lost samples: a cross each in the strip above the plot, one per pixel column.
  if (!chart.losses.empty()) {
    std::string path;
    int64_t lastColumn = -1;
    std::vector<ChartMark> marks = chart.losses;
    std::sort(marks.begin(), marks.end(),
              [](const ChartMark& a, const ChartMark& b) { return a.utcMs < b.utcMs; });
    for (const ChartMark& mark : marks) {
      if (mark.utcMs < scale.startMs || mark.utcMs > scale.endMs) continue;
      const double x = scale.X(mark.utcMs);
      const auto column = static_cast<int64_t>(x);
      if (column == lastColumn) continue;
      lastColumn = column;
      path += Format("M%s %sl8 8m0 -8l-8 8", SvgNumber(x - 4).c_str(), SvgNumber(plot.top - 12).c_str());
    }
    svg += Format("<path class=\"loss-marks\" d=\"%s\" stroke=\"%s\" stroke-width=\"1.8\" "
                  "fill=\"none\"><title>%zu %s</title></path>",
                  path.c_str(), kLossColour, marks.size(), EscapeXml(chart.lossName).c_str());
  }

  Legend(svg, chart, 14);
  svg += "</svg>";
  return svg;
}

std::string SvgShareBar(const std::string& id, const std::string& title,
                        const std::vector<BarPart>& parts, int width) {
  constexpr double kBarHeight = 22;
  constexpr double kMinPart = 3;
  std::size_t total = 0, shown = 0;
  for (const BarPart& part : parts) {
    total += part.count;
    shown += part.count > 0 ? 1 : 0;
  }
  const std::string safeId = EscapeXml(id);
  std::string svg = Format(
      "<svg class=\"share-bar\" id=\"%s\" viewBox=\"0 0 %d 58\" width=\"%d\" height=\"58\" "
      "role=\"img\" aria-label=\"%s\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#222\">"
      "<defs><pattern id=\"%s-hatch\" width=\"7\" height=\"7\" patternUnits=\"userSpaceOnUse\" "
      "patternTransform=\"rotate(45)\"><rect width=\"7\" height=\"7\" fill=\"#fbe3e2\"/>"
      "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"7\" stroke=\"%s\" stroke-width=\"2.4\"/></pattern></defs>",
      safeId.c_str(), width, width, EscapeXml(title).c_str(), safeId.c_str(), kBandColour);
  // Every shown part gets its minimum first; the rest of the width goes by count.
  const double spare = std::max(0.0, width - 2 - kMinPart * static_cast<double>(shown));
  double x = 1, legendX = 1;
  for (const BarPart& part : parts) {
    if (part.count == 0) continue;
    const double w = kMinPart + spare * static_cast<double>(part.count) / static_cast<double>(total);
    const std::string fill = part.good ? std::string("#2f7d32") : "url(#" + safeId + "-hatch)";
    const std::string label = Format("%s %zu", part.name.c_str(), part.count);
    svg += Format("<rect class=\"share-part\" x=\"%s\" y=\"4\" width=\"%s\" height=\"%s\" "
                  "fill=\"%s\" stroke=\"#333\" stroke-width=\"0.8\"><title>%s</title></rect>",
                  SvgNumber(x).c_str(), SvgNumber(w).c_str(), SvgNumber(kBarHeight).c_str(), fill.c_str(),
                  EscapeXml(label).c_str());
    svg += Format("<rect x=\"%s\" y=\"38\" width=\"14\" height=\"12\" fill=\"%s\" "
                  "stroke=\"#333\" stroke-width=\"0.8\"/><text x=\"%s\" y=\"48\">%s</text>",
                  SvgNumber(legendX).c_str(), fill.c_str(), SvgNumber(legendX + 19).c_str(),
                  EscapeXml(label).c_str());
    // The name inside its part too where it fits, haloed to stay legible on the hatching.
    if (w >= 7.0 * static_cast<double>(label.size()) + 8)
      svg += Format("<text x=\"%s\" y=\"19\" text-anchor=\"middle\" font-weight=\"bold\" "
                    "stroke=\"#fff\" stroke-width=\"3\" paint-order=\"stroke\">%s</text>",
                    SvgNumber(x + w / 2).c_str(), EscapeXml(label).c_str());
    legendX += 19 + 7.0 * static_cast<double>(label.size()) + 18;
    x += w;
  }
  svg += "</svg>";
  return svg;
}

}  // namespace rk
