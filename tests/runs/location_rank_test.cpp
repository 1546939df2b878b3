#include "runs/location_rank.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Ip;

LocationResult Rounds(const std::string& name, std::vector<double> roundsMs) {
  LocationResult result;
  result.location = name;
  result.roundsMs = std::move(roundsMs);
  return result;
}

RankDecision Decide(std::vector<LocationResult> results, const std::string& current = "now") {
  return DecideRank(results, current, 7);
}

TEST(RankDecision, ChangeOnlyBeyondTwoMsAndTenPercentInMostResamplesWithLostRoundsAtTheTimeOut) {
  const std::vector<double> ten(10, 10.0), hundred(10, 100.0), forty(10, 40.0);
  std::vector<double> bursty(9, 50.0), twoLost(8, 5.0), oneLost(9, 5.0);
  bursty.push_back(100);
  twoLost.insert(twoLost.end(), {1000, 1000});
  oneLost.push_back(1000);
  const struct { const char* why; std::vector<double> now, best; RankDecisionKind kind; std::optional<std::size_t> winner; } rows[] = {
      {"2.5 ms of 10: beyond 2 ms", ten, std::vector<double>(10, 7.5), RankDecisionKind::Recommend, 1},
      {"1.5 ms of 10: within 2 ms", ten, std::vector<double>(10, 8.5), RankDecisionKind::Keep, 1},
      {"12 ms of 100: beyond 10 %", hundred, std::vector<double>(10, 88), RankDecisionKind::Recommend, 1},
      {"8 ms of 100: within 10 %", hundred, std::vector<double>(10, 92), RankDecisionKind::Keep, 1},
      // The p90 is 50, but a resample holds two slow rounds (p90 100) a quarter of the time.
      {"one slow round of ten: too few resamples win", hundred, bursty, RankDecisionKind::Keep, 1},
      {"two rounds lost to the 1000 ms time-out reach the p90", forty, twoLost, RankDecisionKind::Keep, 0},
      {"one lost round does not: the fastest (kept, as resamples hold it)", forty, oneLost,
       RankDecisionKind::Keep, 1},
  };
  for (const auto& row : rows) {
    const RankDecision d = Decide({Rounds("now", row.now), Rounds("best", row.best)});
    EXPECT_EQ(std::pair(d.kind, d.winner), std::pair(row.kind, row.winner)) << row.why;
  }
}

TEST(RankDecision, RuledOutCurrentOrNoneGivesTheFastestOutright) {
  LocationResult ruled = Rounds("now", std::vector<double>(10, 1));
  ruled.ruledOut = true;
  LocationResult dark = Rounds("dark", {});
  dark.measurable = false;
  const RankDecision d = Decide({ruled, dark, Rounds("slow", std::vector<double>(10, 90))});
  EXPECT_EQ(d.kind, RankDecisionKind::Recommend);
  EXPECT_EQ(d.winner, 2u);
  EXPECT_EQ(Decide({Rounds("a", {3}), Rounds("b", {2})}, "").winner, 1u);
  EXPECT_EQ(Decide({ruled, dark}).kind, RankDecisionKind::AllFailed);
  const RankDecision fastest = Decide({Rounds("now", {2}), Rounds("b", {2})});
  EXPECT_TRUE(fastest.winnerIsCurrent);  // a tie keeps the current one
}

TEST(RankOwnNetwork, LoopbackOwnAddressesAndDirectRoutesButNotTheDefault) {
  const std::vector<std::string> own{"192.0.2.10"};
  const std::vector<Ipv4Route> routes{{Ip(198, 51, 100, 0), Ip(255, 255, 255, 0), 0},
                                      {Ip(203, 0, 113, 0), Ip(255, 255, 255, 0), Ip(198, 51, 100, 1)},
                                      {0, 0, 0}};
  EXPECT_TRUE(OnOwnNetwork(Ip(127, 0, 0, 9), {}, {}));
  EXPECT_TRUE(OnOwnNetwork(Ip(192, 0, 2, 10), own, routes));
  EXPECT_TRUE(OnOwnNetwork(Ip(198, 51, 100, 77), own, routes));
  EXPECT_FALSE(OnOwnNetwork(Ip(203, 0, 113, 5), own, routes));  // behind a gateway
  EXPECT_FALSE(OnOwnNetwork(Ip(192, 0, 2, 11), own, routes));   // only the default route
}

TEST(RankOwnNetwork, AMedianUnderOneMsOffTheOwnNetworkIsFlagged) {
  const std::vector<Ipv4Route> routes{{Ip(198, 51, 100, 0), Ip(255, 255, 255, 0), 0}};
  const struct { const char* why; uint32_t address; double p50; bool flagged; } rows[] = {
      {"0.9 ms across the internet", Ip(203, 0, 113, 5), 0.9, true},
      {"1 ms is not under 1 ms", Ip(203, 0, 113, 5), 1.0, false},
      {"0.2 ms on the own network", Ip(198, 51, 100, 9), 0.2, false},
  };
  for (const auto& row : rows) {
    LocationResult result = Rounds("x", {row.p50});
    result.address = row.address;
    result.p50 = row.p50;
    EXPECT_EQ(AnswersTooFast(result, {}, routes), row.flagged) << row.why;
  }
}

TEST(LocationRankRun, RulesOutRefusalsAndDarkLocationsAtOneTimeOut) {
  const testing::StalledListener dark(0x7F000003);
  ASSERT_TRUE(dark.stalled());
  const testing::LoopbackListener open(64, 0x7F000001, dark.port());
  testing::FakeResolver resolver;  // knows no name
  LocationRank rank(resolver, RankOptions{.rounds = 5, .connectTimeoutMs = 600});
  const std::vector<RankCandidate> candidates{{"open", "127.0.0.1"},  {"refuses", "127.0.0.2"},
                                              {"dark", "127.0.0.3"},  {"blank", ""},
                                              {"nameless", "no-such.invalid"}};
  const auto start = testing::Clock::now();
  const RankReport report =
      rank.Run(candidates, {dark.port()}, "refuses", std::nullopt, {}, {}, {}, nullptr);
  EXPECT_LT(testing::MsSince(start), 2 * 600);  // the dark one's time-out, once
  ASSERT_EQ(report.locations.size(), 5u);
  EXPECT_EQ(report.locations[0].roundsMs.size(), 5u);
  EXPECT_EQ(report.locations[1].reason, "port " + std::to_string(dark.port()) + " refused");
  EXPECT_EQ(report.locations[2].reason, "no answer within 600 ms");
  EXPECT_FALSE(report.locations[3].measurable);
  EXPECT_TRUE(report.locations[4].ruledOut);
  EXPECT_EQ(std::pair(report.decision.kind, report.decision.winner), std::pair(RankDecisionKind::Recommend, std::optional<std::size_t>(0)));
  EXPECT_FALSE(report.locations[0].tooFast);  // loopback is this machine
}

}  // namespace
}  // namespace rk
