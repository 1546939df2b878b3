#include "runs/watch_report.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <tuple>
#include <vector>

#include "probes/machine_facts.h"
#include "base/format.h"
#include "runs/watch_html.h"
#include "runs/watch_log.h"

namespace rk {

namespace {

using LogRecord = nlohmann::json;

int64_t UtcMs(WatchTime t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

std::optional<int64_t> TimeMs(const LogRecord& record, const char* name) {
  const auto field = record.find(name);
  if (field == record.end() || !field->is_string()) return std::nullopt;
  const std::optional<WatchTime> t = ParseIsoUtc(field->get<std::string>());
  if (!t) return std::nullopt;
  return UtcMs(*t);
}

// The lines of FILE.1 then FILE; false when neither can be read.
bool ReadLog(const std::string& nativePath, std::vector<std::string>& lines) {
  bool any = false;
  for (const std::string& path : {nativePath + ".1", nativePath}) {
    std::ifstream file(path, std::ios::binary);
    if (!file) continue;
    any = true;
    for (std::string line; std::getline(file, line);) lines.push_back(std::move(line));
  }
  return any;
}

// One endpoint across the log's headers: a watch started again on the same file lists the
// same endpoints again, known by index, address and port.
using EndpointKey = std::tuple<std::size_t, std::string, int32_t>;

class ReportBuilder {
 public:
  void Header(const LogRecord& record) {
    if (headers_++ == 0) {
      input_.clientRoot = record.value("client_root", std::string());
      input_.startMs = TimeMs(record, "started").value_or(0);
      const LogRecord options = record.value("options", LogRecord::object());
      input_.options = Format("a connect every %d ms, an echo every %d ms, time-out %d ms%s",
                              options.value("interval_ms", 0), options.value("echo_interval_ms", 0),
                              options.value("timeout_ms", 0),
                              options.value("via_proxy", false) ? ", through the proxy" : "");
    }
    // A new watch on the same file numbers its outages from 1 again.
    const std::string started = record.value("started", std::string());
    if (started != started_) {
      started_ = started;
      idBase_ = maxId_;
    }
    slots_.clear();
    for (const LogRecord& e : record.at("endpoints")) {
      const std::string address = e.value("address", LogRecord()).is_string() ? e.at("address").get<std::string>() : "";
      const EndpointKey key{e.at("index").get<std::size_t>(), address, e.at("port").get<int32_t>()};
      auto [known, added] = keys_.try_emplace(key, input_.endpoints.size());
      if (added) {
        HtmlEndpoint endpoint;
        endpoint.label = e.value("label", std::string());
        endpoint.host = e.value("host", std::string());
        endpoint.port = std::get<2>(key);
        input_.endpoints.push_back(std::move(endpoint));
        addresses_.push_back(address);
      }
      slots_.push_back(known->second);
    }
  }

  void Minute(const LogRecord& record) {
    HtmlMinute minute;
    minute.utcMs = TimeMs(record, "t").value();
    minute.count = record.at("n").get<int>();
    minute.lost = record.at("lost").get<int>();
    minute.p50 = record.value("p50", 0.0);
    minute.p95 = record.value("p95", 0.0);
    minute.max = record.value("max", 0.0);
    Endpoint(record).connect.push_back(minute);
  }

  void Sample(const LogRecord& record) {
    const HtmlFailure failure{TimeMs(record, "t").value(), record.value("kind", std::string()),
                              record.value("verdict", std::string())};
    if (record.value("verdict", std::string()) == "open" ||
        record.value("verdict", std::string()) == "answered")
      return;  // a log with every sample: only the failures are marked
    if (record.contains("ep")) {
      Endpoint(record).failures.push_back(failure);
      return;
    }
    // An echo belongs to every endpoint at its address.
    const std::string address = record.value("address", std::string());
    for (std::size_t i = 0; i < addresses_.size(); ++i)
      if (!address.empty() && addresses_[i] == address) input_.endpoints[i].failures.push_back(failure);
  }

  void Outage(const LogRecord& record) {
    const uint64_t id = idBase_ + record.at("id").get<uint64_t>();
    maxId_ = std::max(maxId_, id);
    const std::size_t slot = Slot(record);
    auto [known, added] = outages_.try_emplace({slot, id}, input_.endpoints[slot].outages.size());
    if (added) input_.endpoints[slot].outages.emplace_back();
    HtmlOutage& outage = input_.endpoints[slot].outages[known->second];
    outage.startMs = TimeMs(record, "start").value();
    if (const auto end = TimeMs(record, "end")) outage.endMs = end;
    outage.durationMs = record.value("duration_ms", outage.durationMs);
    if (record.value("place", LogRecord()).is_string()) outage.place = record.at("place").get<std::string>();
    if (record.value("conclusion", LogRecord()).is_string())
      outage.probe = record.at("conclusion").get<std::string>();
  }

  void Seen(const LogRecord& record) {
    for (const char* name : {"t", "to"})
      if (const auto t = TimeMs(record, name)) input_.endMs = std::max(input_.endMs, *t);
  }

  [[nodiscard]] bool headed() const { return headers_ > 0; }

  // The totals as the watch counted them (the minutes' histograms), the outages still open
  // lasting until the log's end.
  WatchHtmlInput Finish(const WatchSummary& summary) {
    for (const EndpointSummary& counted : summary.endpoints) {
      const auto known = keys_.find({counted.index, counted.address, counted.port});
      if (known == keys_.end()) continue;
      input_.endpoints[known->second].totals =
          HtmlTotals{static_cast<int64_t>(counted.samples), static_cast<int64_t>(counted.lost),
                     counted.p50, counted.p95, counted.max};
    }
    for (HtmlEndpoint& endpoint : input_.endpoints)
      for (HtmlOutage& outage : endpoint.outages)
        if (!outage.endMs) outage.durationMs = static_cast<double>(input_.endMs - outage.startMs);
    return std::move(input_);
  }

 private:
  std::size_t Slot(const LogRecord& record) const { return slots_.at(record.at("ep").get<std::size_t>()); }
  HtmlEndpoint& Endpoint(const LogRecord& record) { return input_.endpoints[Slot(record)]; }

  WatchHtmlInput input_;
  int headers_ = 0;
  std::string started_;
  uint64_t idBase_ = 0, maxId_ = 0;
  std::map<EndpointKey, std::size_t> keys_;
  std::vector<std::string> addresses_;  // per endpoint
  std::vector<std::size_t> slots_;      // the present header's ep -> endpoint
  std::map<std::pair<std::size_t, uint64_t>, std::size_t> outages_;
};

}  // namespace

bool WriteWatchReportHtml(const std::string& nativeLogPath, const std::string& programVersion,
                          std::ostream& out, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  std::vector<std::string> lines;
  if (!ReadLog(nativeLogPath, lines)) return fail("cannot read the log " + NativeTextToUtf8(nativeLogPath));
  ReportBuilder builder;
  for (const std::string& line : lines) {
    const LogRecord record = LogRecord::parse(line, nullptr, false);
    if (record.is_discarded() || !record.is_object()) continue;  // a torn line
    try {
      const std::string type = record.value("type", std::string());
      if (type == "header") {
        builder.Header(record);
      } else if (!builder.headed()) {
        continue;  // records before any header name no endpoint
      } else if (type == "minute") {
        builder.Minute(record);
      } else if (type == "sample") {
        builder.Sample(record);
      } else if (type.starts_with("outage_")) {
        builder.Outage(record);
      }
      builder.Seen(record);
    } catch (const std::exception&) {
      // a record of the right shape with a wrong field: skipped like a torn line
    }
  }
  if (!builder.headed()) return fail("the log holds no watch: " + NativeTextToUtf8(nativeLogPath));
  WatchSummary summary;
  std::string ignored;
  (void)SummarizeWatchLog(nativeLogPath, std::nullopt, std::nullopt, summary, &ignored, nullptr);
  WatchHtmlInput input = builder.Finish(summary);
  input.version = programVersion;
  WriteWatchHtml(input, out);
  return true;
}

}  // namespace rk
