#include "runs/watch_html.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/watch_sample.h"

namespace rk {
namespace {

std::size_t CountOf(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(WatchHtml, EveryEndpointHasARowAChartAndEveryOutageABandAndARow) {
  const WatchHtmlInput input = testing::SampleWatch(7, 3, 1796515200000);
  std::ostringstream out;
  WriteWatchHtml(input, out);
  const std::string html = out.str();
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("http"), std::string::npos);
  std::size_t outages = 0;
  for (const HtmlEndpoint& endpoint : input.endpoints) outages += endpoint.outages.size();
  ASSERT_GT(outages, 2u);
  EXPECT_EQ(CountOf(html, "class=\"endpoint-row"), 7u);
  EXPECT_EQ(CountOf(html, "<svg class=\"chart\""), 7u);
  EXPECT_EQ(CountOf(html, "class=\"outage-band\""), outages);
  EXPECT_EQ(CountOf(html, "class=\"outage-row\""), outages);
  EXPECT_NE(html.find("still open"), std::string::npos);
  EXPECT_NE(html.find("R&amp;D &lt;lab&gt;"), std::string::npos);
}

// A day of twenty endpoints, every minute noisy, losses all day: the page stays within 2 MB.
TEST(WatchHtml, ADayOfTwentyEndpointsStaysWithinTwoMegabytes) {
  std::ostringstream out;
  WriteWatchHtml(testing::SampleWatch(20, 24, 1796515200000), out);
  EXPECT_LE(out.str().size(), 2u * 1024 * 1024);
  EXPECT_GT(out.str().size(), 100u * 1024);  // the charts are there, not dropped
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
