#pragma once
// Latency statistics of the watch: a compact histogram that minute records
// carry, so that percentiles over any window of a log come from merging
// minutes, and the exact percentile of a minute's own samples.
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace rk {

// Log-spaced buckets: bucket i holds [0.1 ms * 2^(i/8), 0.1 ms * 2^((i+1)/8)),
// about 9 % wide, so a percentile read back is within 5 % of the sample's
// value; bucket 0 also takes anything faster, the last anything slower
// (0.1 ms * 2^20, some 105 s, is beyond every time-out).
class LatencyHistogram {
 public:
  static constexpr int kBucketsPerDoubling = 8;
  static constexpr int kBuckets = 160;
  static constexpr double kFloorMs = 0.1;

  void Add(double ms) { AddBucket(BucketOf(ms), 1); }
  void AddBucket(int bucket, uint64_t count);
  void Merge(const LatencyHistogram& other);
  void Clear() { *this = LatencyHistogram{}; }

  [[nodiscard]] uint64_t count() const { return count_; }
  [[nodiscard]] bool empty() const { return count_ == 0; }
  // The nearest-rank percentile (p in 0..100), as the middle of its bucket;
  // 0 when empty.
  [[nodiscard]] double Percentile(double p) const;
  // The buckets that hold samples, in order: (bucket, count).
  [[nodiscard]] std::vector<std::pair<int, uint64_t>> Buckets() const;

  [[nodiscard]] static int BucketOf(double ms);
  // The geometric middle of a bucket.
  [[nodiscard]] static double MiddleOf(int bucket);

 private:
  std::array<uint32_t, kBuckets> counts_{};
  uint64_t count_ = 0;
};

// The nearest-rank percentile (p in 0..100) of `values` (reordered); 0 when empty.
[[nodiscard]] double ExactPercentile(std::vector<double>& values, double p);

// Rounded to 0.1 ms, as every time the watch reports.
[[nodiscard]] double TenthMs(double ms);

}  // namespace rk
