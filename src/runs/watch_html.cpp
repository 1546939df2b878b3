#include "runs/watch_html.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/format.h"
#include "base/utc_time.h"
#include "runs/html_report.h"
#include "runs/svg_chart.h"

namespace rk {

namespace {

// Minute records: a missing minute is a gap in the line, not a slope.
constexpr int64_t kMinuteGapMs = 90 * 1000;

std::string ZhHant(std::string_view utf8) {
  return "<span lang=\"zh-Hant\">" + EscapeXml(utf8) + "</span>";
}

std::string UtcText(int64_t utcMs) {
  const int64_t seconds = utcMs >= 0 ? utcMs / 1000 : -((-utcMs + 999) / 1000);
  const std::string iso = IsoUtc(seconds);  // YYYY-MM-DDTHH:MM:SSZ
  return iso.substr(0, 10) + " " + iso.substr(11, 8);
}


std::string MsText(double ms) { return Format("%.1f", ms); }

// The value below which `share` of the samples lie, each minute's value
// weighted by its answered samples.
double WeightedPercentile(std::vector<std::pair<double, int64_t>> values, double share) {
  std::sort(values.begin(), values.end());
  int64_t total = 0;
  for (const auto& [value, weight] : values) total += weight;
  if (total == 0) return 0;
  const double wanted = share * static_cast<double>(total);
  int64_t seen = 0;
  for (const auto& [value, weight] : values) {
    seen += weight;
    if (static_cast<double>(seen) >= wanted) return value;
  }
  return values.back().first;
}

ChartSeries MinuteSeries(std::string name, SeriesLook look, const std::vector<HtmlMinute>& minutes,
                         double HtmlMinute::*field) {
  ChartSeries series{std::move(name), look, {}, kMinuteGapMs};
  series.points.reserve(minutes.size());
  for (const HtmlMinute& minute : minutes)
    if (minute.count > minute.lost) series.points.push_back({minute.utcMs, minute.*field});
  return series;
}

std::string OutageTitle(const HtmlOutage& outage) {
  return "outage " + UtcText(outage.startMs) + " to " +
         (outage.endMs ? UtcText(*outage.endMs) : std::string("still open")) + " (" +
         DurationText(outage.durationMs) + "), " + outage.place;
}

std::string ChartOf(const WatchHtmlInput& input, const HtmlEndpoint& endpoint, std::size_t index) {
  LineChart chart;
  chart.id = Format("chart-%zu", index);
  chart.title = "connect and echo times of " + endpoint.label;
  chart.startMs = input.startMs;
  chart.endMs = input.endMs;
  chart.series.push_back(
      MinuteSeries("connect p50", SeriesLook::Solid, endpoint.connect, &HtmlMinute::p50));
  chart.series.push_back(
      MinuteSeries("connect p95", SeriesLook::Dotted, endpoint.connect, &HtmlMinute::p95));
  if (!endpoint.echo.empty())
    chart.series.push_back(MinuteSeries("echo p50", SeriesLook::Dashed, endpoint.echo, &HtmlMinute::p50));
  for (const HtmlOutage& outage : endpoint.outages)
    chart.bands.push_back({outage.startMs, outage.endMs.value_or(input.endMs), OutageTitle(outage)});
  for (const HtmlFailure& failure : endpoint.failures)
    chart.losses.push_back({failure.utcMs, failure.kind + " " + failure.verdict});
  // Without the single failures, a minute that lost any stands for them.
  if (endpoint.failures.empty())
    for (const HtmlMinute& minute : endpoint.connect)
      if (minute.lost > 0) chart.losses.push_back({minute.utcMs, Format("%d lost", minute.lost)});
  chart.lossName = "lost sample";
  chart.bandName = "outage";
  return SvgChart(chart);
}

void SummaryTable(const WatchHtmlInput& input, std::ostream& out) {
  out << "<h2>Summary</h2>\n<table class=\"summary\"><thead><tr><th class=\"num\">#</th>"
         "<th>endpoint</th><th>address:port</th><th>location</th><th class=\"num\">samples</th>"
         "<th class=\"num\">lost</th><th class=\"num\">p50 ms</th><th class=\"num\">p95 ms</th>"
         "<th class=\"num\">max ms</th><th class=\"num\">outages</th><th>longest outage</th>"
         "</tr></thead><tbody>\n";
  for (std::size_t i = 0; i < input.endpoints.size(); ++i) {
    const HtmlEndpoint& endpoint = input.endpoints[i];
    const HtmlTotals totals = TotalsOf(endpoint);
    // A lost sample now and then is the internet's weather; one in a hundred is worth a look.
    const bool bad = !endpoint.outages.empty() || totals.lost * 100 >= totals.samples;
    double longest = 0;
    for (const HtmlOutage& outage : endpoint.outages) longest = std::max(longest, outage.durationMs);
    out << "<tr class=\"endpoint-row " << (bad ? "bad" : "good") << "\"><td class=\"num\">" << i
        << "</td><td><a href=\"#ep-" << i << "\">" << ZhHant(endpoint.label) << "</a></td><td>"
        << ZhHant(endpoint.host) << ':' << endpoint.port << "</td><td>" << ZhHant(endpoint.location)
        << "</td><td class=\"num\">" << totals.samples << "</td><td class=\"num\">" << totals.lost
        << Format(" (%.2f%%)", totals.samples > 0 ? 100.0 * static_cast<double>(totals.lost) /
                                                         static_cast<double>(totals.samples)
                                                   : 0.0)
        << "</td><td class=\"num\">" << MsText(totals.p50) << "</td><td class=\"num\">" << MsText(totals.p95)
        << "</td><td class=\"num\">" << MsText(totals.max) << "</td><td class=\"num\">"
        << endpoint.outages.size() << "</td><td>"
        << (endpoint.outages.empty() ? std::string("-") : DurationText(longest)) << "</td></tr>\n";
  }
  out << "</tbody></table>\n";
  if (std::any_of(input.endpoints.begin(), input.endpoints.end(),
                  [](const HtmlEndpoint& e) { return !e.totals; }))
    out << "<p class=\"note\">p50 and p95 over the whole span are weighted from the per-minute "
           "figures.</p>\n";
}

void OutageTable(const HtmlEndpoint& endpoint, std::ostream& out) {
  if (endpoint.outages.empty()) {
    out << "<p class=\"note\">No outage.</p>\n";
    return;
  }
  out << "<table class=\"outages\"><thead><tr><th>start (UTC)</th><th>end (UTC)</th>"
         "<th class=\"num\">duration</th><th>place</th><th>what the probe found</th></tr></thead>"
         "<tbody>\n";
  for (const HtmlOutage& outage : endpoint.outages)
    out << "<tr class=\"outage-row\"><td>" << UtcText(outage.startMs) << "</td><td>"
        << (outage.endMs ? UtcText(*outage.endMs) : std::string("still open"))
        << "</td><td class=\"num\">" << DurationText(outage.durationMs) << "</td><td>"
        << EscapeXml(outage.place) << "</td><td>" << EscapeXml(outage.probe) << "</td></tr>\n";
  out << "</tbody></table>\n";
}

}  // namespace

HtmlTotals TotalsOf(const HtmlEndpoint& endpoint) {
  if (endpoint.totals) return *endpoint.totals;
  HtmlTotals totals;
  std::vector<std::pair<double, int64_t>> p50s, p95s;
  for (const HtmlMinute& minute : endpoint.connect) {
    totals.samples += minute.count;
    totals.lost += minute.lost;
    const int answered = minute.count - minute.lost;
    if (answered <= 0) continue;
    totals.max = std::max(totals.max, minute.max);
    p50s.emplace_back(minute.p50, answered);
    p95s.emplace_back(minute.p95, answered);
  }
  totals.p50 = WeightedPercentile(std::move(p50s), 0.50);
  totals.p95 = WeightedPercentile(std::move(p95s), 0.95);
  return totals;
}

void WriteWatchHtml(const WatchHtmlInput& input, std::ostream& out) {
  WriteHtmlHead(out, "Reachkit watch report " + UtcText(input.startMs));
  out << "<h1>Reachkit watch report</h1>\n<p class=\"meta\"><span>" << UtcText(input.startMs)
      << " to " << UtcText(input.endMs) << " UTC (" << DurationText(static_cast<double>(input.endMs - input.startMs))
      << ")</span><span>" << input.endpoints.size() << " endpoints</span><span>version "
      << EscapeXml(input.version) << "</span></p>\n<p class=\"meta\"><span>client root: "
      << EscapeXml(input.clientRoot) << "</span>";
  if (!input.options.empty()) out << "<span>" << EscapeXml(input.options) << "</span>";
  out << "</p>\n";
  SummaryTable(input, out);
  out << "<h2>Endpoints</h2>\n<p class=\"note\">Per minute: the median (p50) and the 95th "
         "percentile (p95) of the connect times and the median echo time; a cross marks a lost "
         "sample, a hatched band an outage.</p>\n";
  for (std::size_t i = 0; i < input.endpoints.size(); ++i) {
    const HtmlEndpoint& endpoint = input.endpoints[i];
    out << "<section class=\"endpoint\" id=\"ep-" << i << "\"><h3>" << i << ". "
        << ZhHant(endpoint.label) << " &mdash; " << ZhHant(endpoint.host) << ':' << endpoint.port;
    if (!endpoint.location.empty()) out << " (" << ZhHant(endpoint.location) << ")";
    out << "</h3>\n" << ChartOf(input, endpoint, i) << '\n';
    OutageTable(endpoint, out);
    out << "</section>\n";
  }
  WriteHtmlTail(out);
}

}  // namespace rk
