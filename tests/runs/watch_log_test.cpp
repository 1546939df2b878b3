#include "runs/watch_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runs/watch_core.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::TempDir;

const WatchTime kLogT0 = *ParseIsoUtc("2026-12-07T09:00:00Z");

WatchLogHeader LogHeader() {
  WatchLogHeader header;
  header.started = kLogT0;
  EndpointSummary endpoint;
  endpoint.label = "\xA5\xE6\xA9\xF6-1";  // code page 950 bytes survive the UTF-8 log
  endpoint.host = "broker.test", endpoint.address = "203.0.113.5", endpoint.port = 443;
  header.endpoints = {endpoint};
  return header;
}

WatchEvent MinuteAt(int minute, uint32_t samples, uint32_t lost, double ms) {
  WatchEvent event;
  event.kind = WatchEvent::Kind::Minute;
  event.minute.minute = kLogT0 + std::chrono::minutes(minute);
  event.minute.samples = samples;
  event.minute.lost = lost;
  event.minute.max = ms;
  for (uint32_t i = 0; i < samples - lost; ++i) event.minute.histogram.Add(ms);
  event.time = event.minute.minute;
  event.endpoint = 0;
  return event;
}

WatchEvent OutageEvent(WatchEvent::Kind kind, int openSecond, std::optional<int> closeSecond) {
  const WatchTime start = kLogT0 + std::chrono::seconds(openSecond);
  WatchEvent event;
  event.kind = kind, event.time = start, event.endpoint = 0;
  event.outage.id = 1, event.outage.start = event.outage.lastGood = start, event.outage.by = "connect";
  if (closeSecond) event.outage.end = kLogT0 + std::chrono::seconds(*closeSecond);
  return event;
}

// Catches: the torn last line of a killed writer stopping the reader, the
// window picking the wrong minutes, an outage's place lost between its records.
TEST(WatchLogTest, ReaderSumsMinutesInTheWindowAndSkipsATornLastLine) {
  TempDir dir;
  const std::string path = dir.File("watch.jsonl");
  WatchLogWriter writer;
  ASSERT_TRUE(writer.Open(path, LogHeader(), false, kWatchLogRollBytes, nullptr));
  writer.Write(MinuteAt(0, 12, 0, 10.0));
  writer.Write(MinuteAt(1, 12, 2, 20.0));
  writer.Write(OutageEvent(WatchEvent::Kind::OutageOpen, 70, std::nullopt));
  WatchEvent placed = OutageEvent(WatchEvent::Kind::OutagePlaced, 70, std::nullopt);
  placed.outage.place = "internet_path";
  placed.outage.conclusion = "conclusion: the internet path";
  writer.Write(placed);
  writer.Write(OutageEvent(WatchEvent::Kind::OutageClose, 70, 85));
  writer.Write(MinuteAt(2, 12, 0, 30.0));
  writer.Close();
  { std::ofstream(path, std::ios::app | std::ios::binary) << "{\"type\":\"minute\",\"t\":\"2026-12-07T09:0"; }

  WatchSummary whole;
  std::size_t skipped = 0;
  ASSERT_TRUE(SummarizeWatchLog(path, std::nullopt, std::nullopt, whole, nullptr, &skipped));
  EXPECT_EQ(skipped, 1u);
  ASSERT_EQ(whole.endpoints.size(), 1u);
  EXPECT_EQ(whole.endpoints[0].label, "\xA5\xE6\xA9\xF6-1");
  EXPECT_EQ(std::tuple(whole.endpoints[0].samples, whole.endpoints[0].lost, whole.endpoints[0].max),
            std::tuple(36u, 2u, 30.0));
  ASSERT_EQ(whole.endpoints[0].outages.size(), 1u);
  EXPECT_EQ(whole.endpoints[0].outages[0].place, "internet_path");
  EXPECT_DOUBLE_EQ(whole.endpoints[0].outages[0].DurationMs(kLogT0), 15000);

  // The second minute only: its latency, not the others'; the outage is in it.
  WatchSummary window;
  ASSERT_TRUE(SummarizeWatchLog(path, kLogT0 + std::chrono::minutes(1), kLogT0 + std::chrono::minutes(2), window,
                                nullptr));
  EXPECT_EQ(window.endpoints[0].samples, 12u);
  EXPECT_NEAR(window.endpoints[0].p50, 20.0, 1.0);
  EXPECT_EQ(window.endpoints[0].outages.size(), 1u);
  WatchSummary after;
  ASSERT_TRUE(SummarizeWatchLog(path, kLogT0 + std::chrono::minutes(2), std::nullopt, after, nullptr));
  EXPECT_TRUE(after.endpoints[0].outages.empty());
}

// Catches: no roll-over, a second roll-over losing FILE.1's replacement, the
// reader not reading FILE.1 first, a new FILE without its header.
TEST(WatchLogTest, PastItsLimitTheLogRollsOverToFileDotOneAndTheReaderReadsBoth) {
  TempDir dir;
  const std::string path = dir.File("watch.jsonl");
  WatchLogWriter writer;
  ASSERT_TRUE(writer.Open(path, LogHeader(), false, 4096, nullptr));
  const int minutes = 120;  // some 150 bytes each: a few roll-overs
  for (int m = 0; m < minutes; ++m) writer.Write(MinuteAt(m, 12, 1, 5.0));
  writer.Close();
  ASSERT_TRUE(std::filesystem::exists(path + ".1"));
  EXPECT_LE(std::filesystem::file_size(path + ".1"), 4096u);
  EXPECT_EQ(testing::ReadBytes(path).rfind("{\"type\":\"header\"", 0), 0u);
  WatchSummary summary;
  ASSERT_TRUE(SummarizeWatchLog(path, std::nullopt, std::nullopt, summary, nullptr));
  // Only what FILE.1 and FILE still hold: the newest minutes, without a gap.
  const uint64_t kept = summary.endpoints[0].samples / 12;
  EXPECT_GT(kept, 20u);
  EXPECT_LT(kept, static_cast<uint64_t>(minutes));
  EXPECT_EQ(summary.last, kLogT0 + std::chrono::minutes(minutes));
  EXPECT_EQ(summary.first, kLogT0 + std::chrono::minutes(minutes - static_cast<int>(kept)));
}

// Catches: a window bound read wrongly, or nonsense taken for a time.
TEST(WatchLogTest, WindowBoundsAreUtcTimesWithOptionalSecondsAndFraction) {
  EXPECT_EQ(ParseIsoUtc("2026-12-07T09:30"), kLogT0 + std::chrono::minutes(30));
  EXPECT_EQ(ParseIsoUtc("2026-12-07T09:30:15Z"), kLogT0 + std::chrono::seconds(1815));
  EXPECT_EQ(ParseIsoUtc("2026-12-07T09:00:00.250Z"), kLogT0 + std::chrono::milliseconds(250));
  EXPECT_EQ(ParseIsoUtc("1970-01-01T00:00:00Z"), WatchTime{});
  for (const char* bad : {"", "09:30", "2026-12-07", "2026-13-07T09:30", "2026-02-30T09:30", "2026-12-07T09:30x",
                          "2026-12-07T24:00", "2026-12-07T09:30:1"})
    EXPECT_FALSE(ParseIsoUtc(bad).has_value()) << bad;
}

}  // namespace
}  // namespace rk
