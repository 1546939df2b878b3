#include "runs/watch_log.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "base/codepage.h"
#include "base/utc_time.h"
#include "probes/net_address.h"

namespace rk {

namespace {

using Json = nlohmann::ordered_json;

std::string Text(const std::string& cp950) { return Cp950ToUtf8(cp950); }

Json EndpointRef(const WatchEvent& event) { return static_cast<uint64_t>(event.endpoint); }

Json OutageJson(const char* type, const WatchEvent& event) {
  const WatchOutage& outage = event.outage;
  Json json{{"type", type}, {"t", IsoUtc(event.time)}, {"ep", EndpointRef(event)}, {"id", outage.id}};
  json["by"] = outage.by;
  json["start"] = IsoUtc(outage.start);
  json["last_good"] = IsoUtc(outage.lastGood);
  if (outage.end) {
    json["end"] = IsoUtc(*outage.end);
    json["duration_ms"] = outage.DurationMs(*outage.end);
  }
  if (!outage.place.empty()) {
    json["place"] = outage.place;
    json["conclusion"] = Text(outage.conclusion);
  }
  return json;
}

Json HeaderJson(const WatchLogHeader& header, bool logSamples) {
  Json endpoints = Json::array();
  for (std::size_t e = 0; e < header.endpoints.size(); ++e) {
    const EndpointSummary& endpoint = header.endpoints[e];
    endpoints.push_back(Json{{"ep", e},
                             {"index", endpoint.index},
                             {"label", Text(endpoint.label)},
                             {"host", Text(endpoint.host)},
                             {"address", endpoint.address.empty() ? Json(nullptr) : Json(endpoint.address)},
                             {"port", endpoint.port}});
  }
  const WatchOptions& o = header.options;
  return Json{{"type", "header"},
              {"version", kWatchLogVersion},
              {"started", IsoUtc(header.started)},
              {"client_root", header.clientRoot},
              {"options",
               {{"interval_ms", o.intervalMs},
                {"echo_interval_ms", o.echoIntervalMs},
                {"timeout_ms", o.connectTimeoutMs},
                {"echo_timeout_ms", o.echoTimeoutMs},
                {"max_sockets", o.maxOpenSockets},
                {"idle", o.idle},
                {"via_proxy", o.proxy.has_value()},
                {"log_samples", logSamples}}},
              {"endpoints", std::move(endpoints)}};
}

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

std::string LogRecordLine(const WatchEvent& event, const std::vector<EndpointSummary>& endpoints) {
  (void)endpoints;
  Json json;
  switch (event.kind) {
    case WatchEvent::Kind::Sample: {
      const WatchSample& sample = event.sample;
      json = Json{{"type", "sample"}, {"t", IsoUtc(sample.time)}};
      if (sample.kind == SampleKind::Echo)
        json["address"] = DottedIPv4(sample.address);
      else
        json["ep"] = static_cast<uint64_t>(sample.endpoint);
      json["kind"] = SampleKindName(sample.kind);
      json["verdict"] = sample.verdict;
      json["ms"] = sample.ms;
      if (sample.lateMs >= 1) json["late_ms"] = sample.lateMs;
      break;
    }
    case WatchEvent::Kind::StateChange:
      json = Json{{"type", "state"}, {"t", IsoUtc(event.time)}, {"ep", EndpointRef(event)},
                  {"from", WatchStateName(event.from)}, {"to", WatchStateName(event.to)}};
      break;
    case WatchEvent::Kind::OutageOpen:
      json = OutageJson("outage_open", event);
      break;
    case WatchEvent::Kind::OutageClose:
      json = OutageJson("outage_close", event);
      break;
    case WatchEvent::Kind::OutagePlaced:
      json = OutageJson("outage_placed", event);
      break;
    case WatchEvent::Kind::Paused:
      json = Json{{"type", "paused"}, {"from", IsoUtc(event.pauseFrom)}, {"to", IsoUtc(event.time)}};
      break;
    case WatchEvent::Kind::Minute: {
      const MinuteRecord& minute = event.minute;
      Json buckets = Json::array();
      for (const auto& [bucket, count] : minute.histogram.Buckets()) buckets.push_back(Json::array({bucket, count}));
      json = Json{{"type", "minute"}, {"t", IsoUtc(minute.minute)}, {"ep", EndpointRef(event)},
                  {"n", minute.samples}, {"lost", minute.lost}, {"skipped", minute.skipped},
                  {"p50", minute.p50}, {"p95", minute.p95}, {"max", minute.max},
                  {"jitter", TenthMs(minute.p95 - minute.p50)}, {"echo_n", minute.echoes},
                  {"echo_lost", minute.echoLost}, {"hist", std::move(buckets)}};
      break;
    }
    case WatchEvent::Kind::IdleEnd:
      json = Json{{"type", "idle_end"}, {"t", IsoUtc(event.time)}, {"ep", EndpointRef(event)},
                  {"how", event.idleEnd}, {"after_s", std::round(event.idleSeconds * 10) / 10}};
      if (!event.idleReason.empty()) json["reason"] = event.idleReason;
      break;
  }
  return Dump(json);
}

bool WatchLogWriter::Open(const std::string& nativePath, const WatchLogHeader& header, bool logSamples,
                          uint64_t rollBytes, std::string* error) {
  Close();
  file_ = std::fopen(nativePath.c_str(), "ab");
  if (file_ == nullptr) {
    if (error != nullptr) *error = "cannot open the log " + nativePath + ": " + std::strerror(errno);
    return false;
  }
  std::fseek(file_, 0, SEEK_END);
  const long at = std::ftell(file_);
  size_ = at > 0 ? static_cast<uint64_t>(at) : 0;
  path_ = nativePath;
  header_ = header;
  logSamples_ = logSamples;
  rollBytes_ = rollBytes;
  WriteLine(Dump(HeaderJson(header_, logSamples_)));
  return true;
}

void WatchLogWriter::WriteLine(const std::string& line) {
  if (file_ == nullptr) return;
  if (size_ > 0 && size_ + line.size() + 1 > rollBytes_) {
    // Roll over: FILE becomes FILE.1 and a new FILE opens with the header.
    watch_files::SyncToDisk(file_);
    std::fclose(file_);
    file_ = nullptr;
    (void)watch_files::MoveReplacing(path_, path_ + ".1");
    file_ = std::fopen(path_.c_str(), "wb");
    if (file_ == nullptr) return;
    size_ = 0;
    const std::string header = Dump(HeaderJson(header_, logSamples_)) + "\n";
    std::fwrite(header.data(), 1, header.size(), file_);
    size_ += header.size();
  }
  const std::string withEnd = line + "\n";
  std::fwrite(withEnd.data(), 1, withEnd.size(), file_);
  std::fflush(file_);
  size_ += withEnd.size();
  unsynced_ = true;
  Tick();
}

void WatchLogWriter::Write(const WatchEvent& event) {
  if (event.kind == WatchEvent::Kind::Sample && event.sample.ok && !logSamples_) return;
  WriteLine(LogRecordLine(event, header_.endpoints));
}

void WatchLogWriter::Tick() {
  if (file_ == nullptr || !unsynced_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastSync_ < std::chrono::seconds(1)) return;
  watch_files::SyncToDisk(file_);
  lastSync_ = now;
  unsynced_ = false;
}

void WatchLogWriter::WriteEnd(WatchTime end) {
  if (file_ == nullptr) return;
  WriteLine(Dump(Json{{"type", "end"}, {"t", IsoUtc(end)}}));
  Close();
}

void WatchLogWriter::Close() {
  if (file_ == nullptr) return;
  std::fflush(file_);
  watch_files::SyncToDisk(file_);
  std::fclose(file_);
  file_ = nullptr;
}

std::optional<WatchTime> ParseIsoUtc(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d%n", &year, &month, &day, &hour, &minute, &used) != 5 ||
      used != 16)
    return std::nullopt;
  std::size_t at = 16;
  int second = 0;
  double fraction = 0;
  if (at < text.size() && text[at] == ':') {
    if (at + 3 > text.size() || !std::isdigit(static_cast<unsigned char>(text[at + 1])) ||
        !std::isdigit(static_cast<unsigned char>(text[at + 2])))
      return std::nullopt;
    second = (text[at + 1] - '0') * 10 + (text[at + 2] - '0');
    at += 3;
    if (at < text.size() && text[at] == '.') {
      double scale = 0.1;
      ++at;
      const std::size_t digits = at;
      while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
        fraction += (text[at] - '0') * scale;
        scale /= 10;
        ++at;
      }
      if (at == digits) return std::nullopt;
    }
  }
  if (at < text.size() && text[at] == 'Z') ++at;
  if (at != text.size()) return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  // Days since 1970-01-01 of a proleptic Gregorian date.
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) return std::nullopt;
  const auto days = std::chrono::sys_days{date};
  return std::chrono::time_point_cast<WatchClock::duration>(
      days + std::chrono::hours(hour) + std::chrono::minutes(minute) + std::chrono::seconds(second) +
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::duration<double>(fraction)));
}

namespace {

// The lines of a file, the last one whether or not it ends in a line break.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::string data;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, got);
  std::fclose(file);
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    lines.emplace_back(data, start, end - start);
    start = end + 1;
  }
  return true;
}

std::optional<WatchTime> TimeField(const Json& json, const char* name) {
  const auto found = json.find(name);
  if (found == json.end() || !found->is_string()) return std::nullopt;
  return ParseIsoUtc(found->get<std::string>());
}

std::string Cp950Of(const Json& json, const char* name) {
  const auto found = json.find(name);
  return found != json.end() && found->is_string() ? Utf8ToCp950(found->get<std::string>()) : std::string();
}

}  // namespace

bool SummarizeWatchLog(const std::string& nativePath, std::optional<WatchTime> from,
                       std::optional<WatchTime> to, WatchSummary& summary, std::string* error,
                       std::size_t* skipped) {
  std::vector<std::string> lines;
  const bool older = ReadLines(nativePath + ".1", lines);
  const bool newer = ReadLines(nativePath, lines);
  if (!older && !newer) {
    if (error != nullptr) *error = "cannot read the log " + nativePath + ": " + std::strerror(errno);
    return false;
  }
  SummaryBuilder builder(from, to);
  bool headed = false;
  std::size_t bad = 0;
  std::string started;
  uint64_t idBase = 0, maxId = 0;
  WatchTime latest{};
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    const Json json = Json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !json.contains("type")) {
      ++bad;  // a torn line: the one being written when the writer stopped
      continue;
    }
    try {
      const std::string type = json.at("type").get<std::string>();
      if (const auto t = TimeField(json, "t")) latest = std::max(latest, *t);
      if (type == "header") {
        headed = true;
        // A new watch on the same file numbers its outages from 1 again.
        if (json.value("started", std::string()) != started) {
          started = json.value("started", std::string());
          idBase = maxId;
        }
        std::vector<EndpointSummary> endpoints;
        for (const Json& e : json.at("endpoints")) {
          EndpointSummary endpoint;
          endpoint.index = e.at("index").get<std::size_t>();
          endpoint.label = Cp950Of(e, "label");
          endpoint.host = Cp950Of(e, "host");
          endpoint.address = e.at("address").is_string() ? e.at("address").get<std::string>() : std::string();
          endpoint.port = e.at("port").get<int32_t>();
          endpoints.push_back(std::move(endpoint));
        }
        builder.SetEndpoints(endpoints);
        if (const auto began = TimeField(json, "started")) builder.SetStarted(*began);
      } else if (type == "minute") {
        MinuteRecord minute;
        minute.minute = TimeField(json, "t").value();
        minute.endpoint = json.at("ep").get<std::size_t>();
        minute.samples = json.at("n").get<uint32_t>();
        minute.lost = json.at("lost").get<uint32_t>();
        minute.skipped = json.value("skipped", 0u);
        minute.echoes = json.value("echo_n", 0u);
        minute.echoLost = json.value("echo_lost", 0u);
        minute.p50 = json.value("p50", 0.0);
        minute.p95 = json.value("p95", 0.0);
        minute.max = json.value("max", 0.0);
        for (const Json& bucket : json.at("hist"))
          minute.histogram.AddBucket(bucket.at(0).get<int>(), bucket.at(1).get<uint64_t>());
        builder.AddMinute(minute);
      } else if (type == "outage_open" || type == "outage_close" || type == "outage_placed") {
        WatchOutage outage;
        outage.id = idBase + json.at("id").get<uint64_t>();
        maxId = std::max(maxId, outage.id);
        outage.endpoint = json.at("ep").get<std::size_t>();
        outage.start = TimeField(json, "start").value();
        outage.lastGood = TimeField(json, "last_good").value_or(outage.start);
        outage.end = TimeField(json, "end");
        outage.by = json.value("by", std::string());
        outage.place = json.value("place", std::string());
        outage.conclusion = Cp950Of(json, "conclusion");
        builder.AddOutage(outage);
      } else if (type == "paused") {
        builder.AddPause({TimeField(json, "from").value(), TimeField(json, "to").value()});
      }
    } catch (const std::exception&) {
      ++bad;  // a record of the right shape with a wrong field: skipped like a torn line
    }
  }
  if (skipped != nullptr) *skipped = bad;
  if (!headed) {
    if (error != nullptr) *error = "no watch log header in " + nativePath;
    return false;
  }
  summary = builder.Finish(latest);
  return true;
}

}  // namespace rk
