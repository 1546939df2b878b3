#include "runs/watch_summary.h"

#include <algorithm>

#include "base/format.h"
#include "base/utc_time.h"

namespace rk {

double WatchOutage::DurationMs(WatchTimePoint until) const {
  const WatchTimePoint stop = end.value_or(until);
  return TenthMs(std::chrono::duration<double, std::milli>(stop - start).count());
}

std::size_t WatchSummary::OutageCount() const {
  std::size_t total = 0;
  for (const EndpointSummary& endpoint : endpoints) total += endpoint.outages.size();
  return total;
}

SummaryBuilder::SummaryBuilder(std::optional<WatchTimePoint> from, std::optional<WatchTimePoint> to)
    : from_(from), to_(to) {}

bool SummaryBuilder::InWindow(WatchTimePoint t) const {
  return (!from_ || t >= *from_) && (!to_ || t < *to_);
}

void SummaryBuilder::SetEndpoints(const std::vector<EndpointSummary>& endpoints) {
  std::vector<EndpointSummary> next;
  for (const EndpointSummary& given : endpoints) {
    EndpointSummary endpoint;
    endpoint.index = given.index;
    endpoint.label = given.label;
    endpoint.host = given.host;
    endpoint.address = given.address;
    endpoint.port = given.port;
    // A second header (a rolled-over log, a restarted watch on the same
    // file) keeps the sums of the same endpoint.
    const std::size_t position = next.size();
    if (position < endpoints_.size() && endpoints_[position].host == given.host &&
        endpoints_[position].port == given.port)
      endpoint = endpoints_[position];
    next.push_back(std::move(endpoint));
  }
  endpoints_ = std::move(next);
}

void SummaryBuilder::AddMinute(const MinuteRecord& minute) {
  if (minute.endpoint >= endpoints_.size() || !InWindow(minute.minute)) return;
  EndpointSummary& endpoint = endpoints_[minute.endpoint];
  endpoint.samples += minute.samples;
  endpoint.lost += minute.lost;
  endpoint.skipped += minute.skipped;
  endpoint.echoes += minute.echoes;
  endpoint.echoLost += minute.echoLost;
  endpoint.max = std::max(endpoint.max, minute.max);
  endpoint.histogram.Merge(minute.histogram);
  const WatchTimePoint minuteEnd = minute.minute + std::chrono::minutes(1);
  if (!first_ || minute.minute < *first_) first_ = minute.minute;
  if (!last_ || minuteEnd > *last_) last_ = minuteEnd;
}

void SummaryBuilder::AddOutage(const WatchOutage& outage) {
  WatchOutage& kept = outages_[{outage.endpoint, outage.id}];
  if (kept.id == 0) {
    kept = outage;
    return;
  }
  if (outage.end) kept.end = outage.end;
  if (!outage.place.empty()) {
    kept.place = outage.place;
    kept.conclusion = outage.conclusion;
  }
}

void SummaryBuilder::SetStarted(WatchTimePoint started) {
  if (!started_) started_ = started;
}

void SummaryBuilder::AddPause(const WatchPause& pause) { pauses_.push_back(pause); }

WatchSummary SummaryBuilder::Finish(WatchTimePoint end) const {
  WatchSummary summary;
  summary.from = from_;
  summary.to = to_;
  summary.first = first_;
  if (first_ && started_ && *started_ > *first_ && *started_ < *first_ + std::chrono::minutes(1))
    summary.first = started_;
  summary.last = last_;
  summary.end = end;
  summary.endpoints = endpoints_;
  for (EndpointSummary& endpoint : summary.endpoints) {
    endpoint.p50 = endpoint.histogram.Percentile(50);
    endpoint.p95 = endpoint.histogram.Percentile(95);
    endpoint.p99 = endpoint.histogram.Percentile(99);
    // A bucket's middle may lie above the largest time seen.
    endpoint.p50 = std::min(endpoint.p50, endpoint.max);
    endpoint.p95 = std::min(endpoint.p95, endpoint.max);
    endpoint.p99 = std::min(endpoint.p99, endpoint.max);
    endpoint.jitter = TenthMs(endpoint.p95 - endpoint.p50);
  }
  for (const auto& [key, outage] : outages_) {
    if (outage.endpoint >= summary.endpoints.size()) continue;
    const WatchTimePoint stop = outage.end.value_or(end);
    if ((to_ && outage.start >= *to_) || (from_ && stop < *from_)) continue;
    summary.endpoints[outage.endpoint].outages.push_back(outage);
  }
  for (EndpointSummary& endpoint : summary.endpoints)
    std::sort(endpoint.outages.begin(), endpoint.outages.end(),
              [](const WatchOutage& a, const WatchOutage& b) { return a.start < b.start; });
  for (const WatchPause& pause : pauses_)
    if ((!to_ || pause.from < *to_) && (!from_ || pause.to >= *from_)) summary.pauses.push_back(pause);
  return summary;
}

namespace {

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string EndpointName(const EndpointSummary& endpoint) {
  return Format("%s:%d", endpoint.address.empty() ? endpoint.host.c_str() : endpoint.address.c_str(),
                endpoint.port);
}

}  // namespace

std::vector<std::string> SummaryTextLines(const WatchSummary& summary) {
  std::vector<std::string> lines;
  std::string span = "watch summary:";
  if (summary.first && summary.last) {
    const WatchTimePoint from = summary.from ? std::max(*summary.from, *summary.first) : *summary.first;
    WatchTimePoint to = std::min(*summary.last, std::max(summary.end, *summary.first));
    if (summary.to) to = std::min(*summary.to, to);
    span += " " + IsoUtc(std::chrono::time_point_cast<std::chrono::seconds>(from).time_since_epoch().count()) +
            " .. " + IsoUtc(std::chrono::time_point_cast<std::chrono::seconds>(to).time_since_epoch().count());
  } else {
    span += " no samples";
  }
  lines.push_back(span);
  std::size_t labelWidth = 12;
  for (const EndpointSummary& endpoint : summary.endpoints)
    labelWidth = std::max(labelWidth, std::min<std::size_t>(endpoint.label.size(), 40));
  lines.push_back(Format("%-4s %s %-21s %8s %7s %8s %8s %8s %8s %8s %7s", "#",
                         Padded("label", labelWidth).c_str(), "address:port", "samples", "loss",
                         "p50 ms", "p95 ms", "p99 ms", "max ms", "jitter", "outages"));
  for (const EndpointSummary& endpoint : summary.endpoints)
    lines.push_back(Format("%-4zu %s %-21s %8llu %6.1f%% %8.1f %8.1f %8.1f %8.1f %8.1f %7zu", endpoint.index,
                           Padded(endpoint.label, labelWidth).c_str(), EndpointName(endpoint).c_str(),
                           static_cast<unsigned long long>(endpoint.samples), endpoint.lossRatio() * 100.0,
                           endpoint.p50, endpoint.p95, endpoint.p99, endpoint.max, endpoint.jitter,
                           endpoint.outages.size()));
  const WatchTimePoint until = summary.to ? std::min(*summary.to, summary.end) : summary.end;
  bool heading = false;
  for (const EndpointSummary& endpoint : summary.endpoints)
    for (const WatchOutage& outage : endpoint.outages) {
      if (!heading) lines.push_back("outages:");
      heading = true;
      const std::string end = outage.end ? IsoUtc(*outage.end) : std::string("(open)");
      lines.push_back(Format("%-4zu %-21s %s .. %s  %.1f s  %s%s%s", endpoint.index,
                             EndpointName(endpoint).c_str(), IsoUtc(outage.start).c_str(), end.c_str(),
                             outage.DurationMs(std::max(until, outage.start)) / 1000.0,
                             outage.place.empty() ? "unplaced" : outage.place.c_str(),
                             outage.conclusion.empty() ? "" : ": ", outage.conclusion.c_str()));
    }
  for (const WatchPause& pause : summary.pauses)
    lines.push_back(Format("paused %s .. %s (not counted as an outage)", IsoUtc(pause.from).c_str(),
                           IsoUtc(pause.to).c_str()));
  lines.push_back(Format("%zu endpoints, %zu outages", summary.endpoints.size(), summary.OutageCount()));
  return lines;
}

}  // namespace rk
