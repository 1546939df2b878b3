#include "runs/watch_stats.h"

#include <algorithm>
#include <cmath>

namespace rk {

void LatencyHistogram::AddBucket(int bucket, uint64_t count) {
  const auto i = static_cast<std::size_t>(std::clamp(bucket, 0, kBuckets - 1));
  counts_[i] = static_cast<uint32_t>(std::min<uint64_t>(counts_[i] + count, UINT32_MAX));
  count_ += count;
}

void LatencyHistogram::Merge(const LatencyHistogram& other) {
  for (int i = 0; i < kBuckets; ++i)
    if (other.counts_[static_cast<std::size_t>(i)] != 0) AddBucket(i, other.counts_[static_cast<std::size_t>(i)]);
}

double LatencyHistogram::Percentile(double p) const {
  if (count_ == 0) return 0;
  // Nearest rank: the smallest value with at least p % of the samples at or below it.
  const auto rank = std::max<uint64_t>(
      1, static_cast<uint64_t>(std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(count_))));
  uint64_t seen = 0;
  for (int i = 0; i < kBuckets; ++i) {
    seen += counts_[static_cast<std::size_t>(i)];
    if (seen >= rank) return MiddleOf(i);
  }
  return MiddleOf(kBuckets - 1);
}

std::vector<std::pair<int, uint64_t>> LatencyHistogram::Buckets() const {
  std::vector<std::pair<int, uint64_t>> out;
  for (int i = 0; i < kBuckets; ++i)
    if (counts_[static_cast<std::size_t>(i)] != 0) out.emplace_back(i, counts_[static_cast<std::size_t>(i)]);
  return out;
}

int LatencyHistogram::BucketOf(double ms) {
  if (!(ms > kFloorMs)) return 0;
  const double index = std::floor(std::log2(ms / kFloorMs) * kBucketsPerDoubling);
  return static_cast<int>(std::min<double>(index, kBuckets - 1));
}

double LatencyHistogram::MiddleOf(int bucket) {
  return TenthMs(kFloorMs * std::exp2((bucket + 0.5) / kBucketsPerDoubling));
}

double ExactPercentile(std::vector<double>& values, double p) {
  if (values.empty()) return 0;
  const auto rank = std::max<std::size_t>(
      1, static_cast<std::size_t>(std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(values.size()))));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank - 1), values.end());
  return values[rank - 1];
}

double TenthMs(double ms) { return std::round(ms * 10.0) / 10.0; }

}  // namespace rk
