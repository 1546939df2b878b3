#include "runs/openmetrics.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace rk {
namespace {

// Catches: a series missing or misnamed, a value in ms instead of seconds, a
// label value not escaped, an endpoint that is not watched listed.
TEST(OpenMetricsTest, TextHoldsEachSeriesPerWatchedEndpointWithEscapedLabels) {
  WatchSnapshot snapshot;
  EndpointSnapshot up;
  up.label = "\xA5\xE6\xA9\xF6-\"a\\b\" : 127.0.0.1", up.host = "127.0.0.1", up.port = 47811;
  up.location = "\"a\\b\"", up.state = WatchState::Up, up.p50 = 1.5, up.p95 = 40, up.echoLossRatio = 0.25;
  up.connected = 4, up.connectMsSum = 60, up.outages = 2;
  EndpointSnapshot idle = up;
  idle.state = WatchState::NotWatched;
  snapshot.endpoints = {up, idle};
  const std::string text = OpenMetricsText(snapshot);
  const std::string labels =
      "{endpoint=\"\xE4\xBA\xA4\xE6\x98\x93-\\\"a\\\\b\\\" : 127.0.0.1\",host=\"127.0.0.1\",port=\"47811\","
      "location=\"\\\"a\\\\b\\\"\"";
  for (const std::string& line : std::vector<std::string>{
           "# TYPE reachkit_endpoint_up gauge", "reachkit_endpoint_up" + labels + "} 1",
        "# TYPE reachkit_connect_seconds summary", "reachkit_connect_seconds" + labels + ",quantile=\"0.5\"} 0.0015",
        "reachkit_connect_seconds" + labels + ",quantile=\"0.95\"} 0.04",
        "reachkit_connect_seconds_sum" + labels + "} 0.06", "reachkit_connect_seconds_count" + labels + "} 4",
        "reachkit_echo_loss_ratio" + labels + "} 0.25", "# TYPE reachkit_outages_total counter",
        "reachkit_outages_total" + labels + "} 2"})
    EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
  EXPECT_EQ(text.find("reachkit_endpoint_up{", text.find("reachkit_endpoint_up{") + 1), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
}

// Catches: the temporary file left behind, or an existing file not replaced.
TEST(OpenMetricsTest, FileIsReplacedThroughATemporaryName) {
  testing::TempDir dir;
  const std::string path = dir.Write("reachkit.prom", "old");
  ASSERT_TRUE(WriteOpenMetricsFile(path, "new\n", nullptr));
  EXPECT_EQ(testing::ReadBytes(path), "new\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  EXPECT_FALSE(WriteOpenMetricsFile(dir.File("missing/reachkit.prom"), "x", nullptr));
}

}  // namespace
}  // namespace rk
