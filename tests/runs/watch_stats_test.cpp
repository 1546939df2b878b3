#include "runs/watch_stats.h"

#include <gtest/gtest.h>

#include <random>

namespace rk {
namespace {

// Catches: buckets too coarse or mis-indexed (a percentile read back from the
// histogram must stay within 5 % of the exact one), merging that loses counts.
TEST(WatchStatsTest, HistogramPercentilesStayWithinFivePercentOfTheExactOnes) {
  std::mt19937 random(7);
  std::lognormal_distribution<double> latency(std::log(20.0), 1.0);  // 20 ms typical, long tail
  std::vector<double> values;
  LatencyHistogram first, second;
  for (int i = 0; i < 5000; ++i) {
    const double ms = 0.2 + latency(random);
    values.push_back(ms);
    (i % 2 == 0 ? first : second).Add(ms);
  }
  first.Merge(second);
  ASSERT_EQ(first.count(), values.size());
  for (const double p : {50.0, 95.0, 99.0}) {
    const double exact = ExactPercentile(values, p);
    EXPECT_NEAR(first.Percentile(p), exact, exact * 0.05) << p;
  }
  // A minute's own percentiles are the samples' own values (nearest rank).
  std::vector<double> minute = {5, 1, 4, 2, 3};
  EXPECT_DOUBLE_EQ(ExactPercentile(minute, 50), 3);
  EXPECT_DOUBLE_EQ(ExactPercentile(minute, 95), 5);
  std::vector<double> none;
  EXPECT_DOUBLE_EQ(ExactPercentile(none, 50), 0);
  // The ends take what lies beyond them.
  EXPECT_EQ(LatencyHistogram::BucketOf(0.0), 0);
  EXPECT_EQ(LatencyHistogram::BucketOf(1e9), LatencyHistogram::kBuckets - 1);
}

}  // namespace
}  // namespace rk
