#pragma once
// The report of a watch (endpoints tried again and again over hours) as one
// self-contained HTML page: a summary table of every endpoint, then per
// endpoint its latency chart over the whole span (the per-minute figures,
// lost samples as marks, outages as hatched bands) and the table of its
// outages with the place each was found at. Inline CSS and SVG, no script,
// no outside address; a day of twenty endpoints stays within 2 MB.
//
// The input is plain data, filled from a watch log or from a running watch.
// Texts are UTF-8 (the client's labels converted from code page 950 where
// they are read); times are UTC milliseconds since 1970.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace rk {

// One minute of one kind of sample (connect or echo) of one endpoint.
struct HtmlMinute {
  int64_t utcMs = 0;  // the minute's start
  int count = 0;      // samples taken
  int lost = 0;       // of them, without an answer
  double p50 = 0, p95 = 0, max = 0;  // ms, over the answered samples
};

// One sample that failed.
struct HtmlFailure {
  int64_t utcMs = 0;
  std::string kind;     // "connect", "echo" or "proxy"
  std::string verdict;  // "timeout", "refused", ...
};

struct HtmlOutage {
  int64_t startMs = 0;
  std::optional<int64_t> endMs;  // none: still open when the watch ended
  double durationMs = 0;
  std::string place;  // where the break was found ("local_network", ...)
  std::string probe;  // what the probe at the time said
};

// Figures over the whole span, as the watch counted them; when absent they
// are derived from the minutes (the percentiles then approximately).
struct HtmlTotals {
  int64_t samples = 0;
  int64_t lost = 0;
  double p50 = 0, p95 = 0, max = 0;
};

struct HtmlEndpoint {
  std::string label;     // the host list's line
  std::string host;      // as configured
  int32_t port = 0;
  std::string location;  // the location (section) the entry belongs to; may be empty
  std::optional<HtmlTotals> totals;  // connect samples
  std::vector<HtmlMinute> connect;   // in time order
  std::vector<HtmlMinute> echo;      // in time order; empty when echo was not sent
  std::vector<HtmlFailure> failures;
  std::vector<HtmlOutage> outages;
};

struct WatchHtmlInput {
  std::string clientRoot;
  int64_t startMs = 0;
  int64_t endMs = 0;
  std::string version;
  std::string options;  // how the watch ran ("every 1 s, time-out 10000 ms, ...")
  std::vector<HtmlEndpoint> endpoints;
};

// The connect totals of an endpoint: its own when the watch gave them, else
// from its minutes: samples, lost and the highest time exactly, p50 and p95
// as the sample-weighted percentiles of the minutes' p50 and p95.
[[nodiscard]] HtmlTotals TotalsOf(const HtmlEndpoint& endpoint);

void WriteWatchHtml(const WatchHtmlInput& input, std::ostream& out);

}  // namespace rk
