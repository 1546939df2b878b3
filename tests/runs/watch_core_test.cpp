#include "runs/watch_core.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace rk {
namespace {

using std::chrono::milliseconds;
using testing::Ip;

const uint32_t kWatchedHost = Ip(203, 0, 113, 5);
const WatchTime kT0 = MinuteStart(WatchClock::now()) + std::chrono::seconds(5);

// Endpoint 0: kWatchedHost:443, echoed; endpoint 1: loopback, not echoed.
class WatchCoreTest : public ::testing::Test {
 protected:
  WatchCore core{{}, {{0, "label", "broker.test", 443, kWatchedHost, true, true},
                      {1, "loop", "127.0.0.1", 80, Ip(127, 0, 0, 1), true, false}}, kT0};
  std::vector<WatchEvent> events;
};

std::vector<WatchEvent> EventsOf(const std::vector<WatchEvent>& events, WatchEvent::Kind kind) {
  std::vector<WatchEvent> out;
  for (const WatchEvent& event : events)
    if (event.kind == kind) out.push_back(event);
  return out;
}

WatchTime AtMs(int ms) { return kT0 + milliseconds(ms); }

// Catches: an outage opened by one failure, by a skipped sample, or not closed by the first success.
TEST_F(WatchCoreTest, TwoFailedConnectsInARowOpenAnOutageAndTheFirstSuccessClosesIt) {
  core.Connected(1, AtMs(0), "open", true, 1.0, 0, events);
  core.Connected(1, AtMs(5000), "refused", false, 0.2, 0, events);
  core.Connected(1, AtMs(10000), "skipped", false, 0, 0, events);
  EXPECT_TRUE(EventsOf(events, WatchEvent::Kind::OutageOpen).empty());
  core.Connected(1, AtMs(15000), "timeout", false, 3000, 0, events);
  const auto opened = EventsOf(events, WatchEvent::Kind::OutageOpen);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].outage.start, AtMs(18000));  // when the second failure was known
  EXPECT_EQ(opened[0].outage.lastGood, AtMs(1));
  EXPECT_EQ(opened[0].outage.by, "connect");
  EXPECT_EQ(core.Snapshot(AtMs(18000)).endpoints[1].state, WatchState::Down);
  core.Connected(1, AtMs(20000), "timeout", false, 3000, 0, events);  // still the same outage
  core.Connected(1, AtMs(25000), "open", true, 2.0, 0, events);
  const auto closed = EventsOf(events, WatchEvent::Kind::OutageClose);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].outage.end, AtMs(25002));
  const EndpointSnapshot snapshot = core.Snapshot(AtMs(25002)).endpoints[1];
  EXPECT_EQ(snapshot.state, WatchState::Up);
  EXPECT_EQ(snapshot.outages, 1u);
  EXPECT_DOUBLE_EQ(snapshot.lossRatio, 4.0 / 6.0);
  EXPECT_DOUBLE_EQ(snapshot.lastOutage.value_or(WatchOutage{}).DurationMs(AtMs(99999)), 7002);
}

// Catches: the proxied road's failures mixed with the direct one's, a proxy
// outage left unplaced (no check runs for it) or not closed by its success.
TEST_F(WatchCoreTest, TwoFailuresThroughTheProxyOpenAnOutagePlacedAtTheProxy) {
  core.Connected(1, AtMs(0), "refused", false, 0.2, 0, events);  // one direct failure
  core.ProxySampled(1, AtMs(100), "proxy-unreachable", "refused", false, 0.5, events);
  EXPECT_TRUE(EventsOf(events, WatchEvent::Kind::OutageOpen).empty());
  core.Connected(1, AtMs(5000), "open", true, 0.2, 0, events);
  core.ProxySampled(1, AtMs(5100), "proxy-unreachable", "refused", false, 0.5, events);
  const auto opened = EventsOf(events, WatchEvent::Kind::OutageOpen);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].outage.by, "proxy");
  EXPECT_EQ(opened[0].outage.place, "proxy");
  EXPECT_EQ(opened[0].outage.conclusion, "the proxy: proxy-unreachable: refused");
  EXPECT_EQ(core.Snapshot(AtMs(5101)).endpoints[1].state, WatchState::Up);  // the direct road is up
  core.ProxySampled(1, AtMs(10100), "open-via-proxy", "", true, 1.0, events);
  ASSERT_EQ(EventsOf(events, WatchEvent::Kind::OutageClose).size(), 1u);
  EXPECT_EQ(core.Summary(AtMs(10101)).endpoints[1].outages[0].place, "proxy");
}

// Catches: echo silence counted for a host that never answered or answered long ago,
// an outage opened before the echo time-out, or one not closed by the echo's return.
TEST_F(WatchCoreTest, EchoSilenceOfAnAddressThatAnsweredWithinAMinuteOpensAnOutage) {
  core.Tick(AtMs(0), events);
  core.Tick(AtMs(9000), events);  // never answered: no outage, however long
  core.Echoed(kWatchedHost, AtMs(10000), true, 20, events);  // the answer comes at 10.020 s
  for (int ms = 10050; ms < 13020; ms += 50) core.Tick(AtMs(ms), events);
  EXPECT_TRUE(EventsOf(events, WatchEvent::Kind::OutageOpen).empty());
  core.Tick(AtMs(13020), events);
  const auto opened = EventsOf(events, WatchEvent::Kind::OutageOpen);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].endpoint, 0u);
  EXPECT_EQ(opened[0].outage.by, "echo");
  EXPECT_EQ(opened[0].outage.start, AtMs(13020));
  core.Echoed(kWatchedHost, AtMs(14000), true, 5, events);
  ASSERT_EQ(EventsOf(events, WatchEvent::Kind::OutageClose).size(), 1u);
  EXPECT_EQ(EventsOf(events, WatchEvent::Kind::OutageClose)[0].outage.end, AtMs(14005));
}

// Catches: a gap in the clock (the PC slept) read as an outage, samples begun
// before the gap counted after it, an outage left open across the gap.
TEST_F(WatchCoreTest, AGapLongerThanThreeIntervalsIsAPauseNotAnOutage) {
  core.Echoed(kWatchedHost, AtMs(0), true, 10, events);
  core.Connected(0, AtMs(0), "timeout", false, 3000, 0, events);
  core.Connected(0, AtMs(5000), "timeout", false, 3000, 0, events);
  ASSERT_EQ(EventsOf(events, WatchEvent::Kind::OutageOpen).size(), 1u);
  core.Connected(1, AtMs(7000), "timeout", false, 3000, 0, events);  // one failure before the sleep
  core.Tick(AtMs(8000), events);
  events.clear();
  core.Tick(AtMs(8000 + 15001), events);  // three 5 s intervals and a bit
  const auto paused = EventsOf(events, WatchEvent::Kind::Paused);
  ASSERT_EQ(paused.size(), 1u);
  EXPECT_EQ(paused[0].pauseFrom, AtMs(8000));
  const auto closed = EventsOf(events, WatchEvent::Kind::OutageClose);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].outage.end, AtMs(8000));  // ended where the gap began
  EXPECT_EQ(core.Snapshot(AtMs(23001)).endpoints[1].state, WatchState::Paused);
  events.clear();
  core.Connected(1, AtMs(7500), "timeout", false, 3000, 0, events);  // begun before the gap: dropped
  core.Connected(1, AtMs(23100), "timeout", false, 3000, 0, events);  // the first failure after it
  core.Tick(AtMs(26200), events);  // the old echo answer does not count as silence either
  EXPECT_TRUE(EventsOf(events, WatchEvent::Kind::OutageOpen).empty());
  EXPECT_EQ(core.Summary(AtMs(26200)).pauses.size(), 1u);
  // A gap of exactly three intervals is not a pause.
  core.Tick(AtMs(26200 + 15000), events);
  EXPECT_EQ(EventsOf(events, WatchEvent::Kind::Paused).size(), 0u);
}

// Catches: samples counted in the wrong minute, a minute never written, the
// minute's percentiles or the summary's totals off.
TEST_F(WatchCoreTest, MinuteRecordsCarryTheMinutesSamplesAndTheSummaryAddsThemUp) {
  for (int i = 0; i < 10; ++i) core.Connected(1, AtMs(i * 5000), "open", true, 1.0 + i, 0, events);
  core.Connected(1, AtMs(50000), "refused", false, 0.3, 0, events);
  core.Tick(AtMs(54900), events);  // still the first minute (kT0 is 5 s past its start)
  EXPECT_TRUE(EventsOf(events, WatchEvent::Kind::Minute).empty());
  core.Tick(AtMs(55000), events);
  core.Connected(1, AtMs(60000), "open", true, 40, 0, events);  // in the next minute
  const auto minutes = EventsOf(events, WatchEvent::Kind::Minute);
  ASSERT_EQ(minutes.size(), 1u);
  const MinuteRecord& minute = minutes[0].minute;
  EXPECT_EQ(minute.minute, MinuteStart(kT0));
  // samples, lost, p50, p95, max (of the ten answered: 1..10 ms), answered
  EXPECT_EQ(std::tuple(minute.samples, minute.lost, minute.p50, minute.p95, minute.max, minute.histogram.count()),
            std::tuple(11u, 1u, 5.0, 10.0, 10.0, 10u));
  core.Finish(AtMs(61000), events);
  const WatchSummary summary = core.Summary(AtMs(61000));
  EXPECT_EQ(std::tuple(summary.endpoints[1].samples, summary.endpoints[1].lost, summary.endpoints[1].max),
            std::tuple(12u, 1u, 40.0));
  EXPECT_EQ(summary.endpoints[0].samples, 0u);
}

}  // namespace
}  // namespace rk
