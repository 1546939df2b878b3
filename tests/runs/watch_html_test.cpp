#include "runs/watch_html.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/test_support.h"

namespace rk {
namespace {

using testing::Occurrences;

// Three endpoints over ten minutes: one quiet, one with an outage that ended, one with an outage
// still open at the end and a location whose name must be escaped.
WatchHtmlInput ThreeEndpoints() {
  constexpr int64_t kStart = 1796515200000, kMinute = 60'000;
  WatchHtmlInput input;
  input.startMs = kStart;
  input.endMs = kStart + 10 * kMinute;
  for (int e = 0; e < 3; ++e) {
    HtmlEndpoint endpoint;
    endpoint.label = "host-" + std::to_string(e), endpoint.host = "127.0.0." + std::to_string(e + 1);
    endpoint.port = 8000 + e, endpoint.location = e == 2 ? "R&D <lab>" : "";
    for (int m = 0; m < 10; ++m) endpoint.connect.push_back({kStart + m * kMinute, 12, m == 4 ? 3 : 0, 5.0 + m, 9.0 + m, 12.0 + m});
    input.endpoints.push_back(std::move(endpoint));
  }
  input.endpoints[1].failures.push_back({kStart + 4 * kMinute + 500, "connect", "timeout"});
  input.endpoints[1].outages.push_back({kStart + 4 * kMinute, kStart + 5 * kMinute, 60'000.0, "internet_path", "beyond router 2"});
  input.endpoints[2].outages.push_back({kStart + 8 * kMinute, std::nullopt, 120'000.0, "broker_host", "refused"});
  input.endpoints[2].outages.push_back({kStart + 1 * kMinute, kStart + 2 * kMinute, 60'000.0, "local_network", "gateway silent"});
  return input;
}

TEST(WatchHtml, EveryEndpointHasARowAChartAndEveryOutageABandAndARow) {
  const WatchHtmlInput input = ThreeEndpoints();
  std::ostringstream out;
  WriteWatchHtml(input, out);
  const std::string html = out.str();
  // The page's head is the support report's, its charts SvgChart's.
  EXPECT_EQ(Occurrences(html, "class=\"endpoint-row"), 3u);
  EXPECT_EQ(Occurrences(html, "<svg class=\"chart\""), 3u);
  EXPECT_EQ(Occurrences(html, "class=\"outage-band\""), 3u);
  EXPECT_EQ(Occurrences(html, "class=\"outage-row\""), 3u);
  EXPECT_NE(html.find("still open"), std::string::npos);
  EXPECT_NE(html.find("R&amp;D &lt;lab&gt;"), std::string::npos);
}

TEST(WatchHtml, TotalsFromMinutesWeighPercentilesByAnsweredSamples) {
  HtmlEndpoint endpoint;
  endpoint.connect = {{0, 60, 0, 10, 20, 30}, {60000, 60, 60, 0, 0, 0}, {120000, 10, 1, 100, 400, 900}};
  HtmlTotals totals = TotalsOf(endpoint);
  EXPECT_EQ(totals.samples, 130);
  EXPECT_EQ(totals.lost, 61);
  EXPECT_EQ(totals.p50, 10);   // 60 of 69 answered samples lie in the first minute
  EXPECT_EQ(totals.p95, 400);  // the top 5 % fall in the last
  EXPECT_EQ(totals.max, 900);
  endpoint.totals = HtmlTotals{5, 1, 2, 3, 4};
  EXPECT_EQ(TotalsOf(endpoint).p95, 3);  // the watch's own figures win
}

}  // namespace
}  // namespace rk
