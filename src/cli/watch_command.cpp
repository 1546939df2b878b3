#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>

#include "base/codepage.h"
#include "base/format.h"
#include "base/utc_time.h"
#include "cli/cli.h"
#include "cli/platform.h"
#include "cli/results.h"
#include "config/host_catalogue.h"
#include "probes/icmp_echo.h"
#include "probes/idle_connection.h"
#include "probes/proxy_connector.h"
#include "runs/watch.h"
#include "runs/watch_log.h"
#include "runs/watch_report.h"

namespace rk::cli {

namespace {

using json = nlohmann::ordered_json;

struct WatchCommandOptions {
  std::string duration;  // empty: until Ctrl+C
  std::string log;
  bool logSamples = false;
  bool idle = false;
  std::string openMetrics;
  uint32_t intervalMs = kWatchIntervalMs;
  uint32_t echoIntervalMs = kWatchEchoIntervalMs;
  uint32_t timeoutMs = kWatchConnectTimeoutMs;
};

struct SummaryCommandOptions {
  std::string log;
  std::string from;
  std::string to;
  std::string html;
};

// "90", "90s", "500ms", "5m", "2h" as milliseconds; nullopt for anything else or 0.
std::optional<uint64_t> ParseDuration(const std::string& text) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  const std::string unit(end);
  uint64_t scale = 0;
  if (unit.empty() || unit == "s") scale = 1000;
  else if (unit == "ms") scale = 1;
  else if (unit == "m" || unit == "min") scale = 60'000;
  else if (unit == "h") scale = 3'600'000;
  if (scale == 0 || value == 0 || value > UINT64_MAX / scale / 2) return std::nullopt;
  return value * scale;
}

std::string Utf8(const std::string& cp950) { return Cp950ToUtf8(cp950); }

json OutageJson(const WatchOutage& outage, WatchTime until) {
  return json{{"start", IsoUtc(outage.start)},
              {"end", outage.end ? json(IsoUtc(*outage.end)) : json(nullptr)},
              {"duration_ms", outage.DurationMs(until)},
              {"last_good", IsoUtc(outage.lastGood)},
              {"by", outage.by},
              {"place", outage.place.empty() ? json(nullptr) : json(outage.place)},
              {"conclusion", outage.conclusion.empty() ? json(nullptr) : json(Utf8(outage.conclusion))}};
}

json SummaryJson(const char* command, const WatchSummary& summary, WatchTime until) {
  const auto time = [](const std::optional<WatchTime>& t) { return t ? json(IsoUtc(*t)) : json(nullptr); };
  json endpoints = json::array();
  for (const EndpointSummary& e : summary.endpoints) {
    json outages = json::array();
    for (const WatchOutage& outage : e.outages) outages.push_back(OutageJson(outage, until));
    endpoints.push_back(json{{"index", e.index},
                             {"label", Utf8(e.label)},
                             {"host", Utf8(e.host)},
                             {"address", e.address.empty() ? json(nullptr) : json(e.address)},
                             {"port", e.port},
                             {"samples", e.samples},
                             {"lost", e.lost},
                             {"skipped", e.skipped},
                             {"loss_ratio", e.lossRatio()},
                             {"p50_ms", e.p50},
                             {"p95_ms", e.p95},
                             {"p99_ms", e.p99},
                             {"max_ms", e.max},
                             {"jitter_ms", e.jitter},
                             {"echoes", e.echoes},
                             {"echo_lost", e.echoLost},
                             {"outages", std::move(outages)}});
  }
  json pauses = json::array();
  for (const WatchPause& pause : summary.pauses)
    pauses.push_back(json{{"from", IsoUtc(pause.from)}, {"to", IsoUtc(pause.to)}});
  return json{{"command", command},
              {"from", time(summary.from)},
              {"to", time(summary.to)},
              {"first", time(summary.first)},
              {"last", time(summary.last)},
              {"outage_count", summary.OutageCount()},
              {"endpoints", std::move(endpoints)},
              {"pauses", std::move(pauses)}};
}

void WriteSummary(const Context& context, const char* command, const WatchSummary& summary, WatchTime until) {
  if (context.json) {
    WriteJson(context, SummaryJson(command, summary, until));
    return;
  }
  for (const std::string& line : SummaryTextLines(summary)) WriteListLine(context, context.out, line);
  context.out.flush();
}

// One line per event that says something: failed samples, changes of state,
// outages, pauses (successful samples and minute records stay in the log).
std::optional<std::string> EventLine(const WatchEvent& event, const std::vector<EndpointSnapshot>& endpoints) {
  const auto name = [&](std::size_t e) {
    if (e >= endpoints.size()) return std::string("?");
    return Format("#%zu %s %s", endpoints[e].index, endpoints[e].label.c_str(), endpoints[e].addressPort.c_str());
  };
  const std::string at = IsoUtc(event.time);
  switch (event.kind) {
    case WatchEvent::Kind::Sample:
      if (event.sample.ok) return std::nullopt;
      if (event.sample.kind == SampleKind::Echo)
        return Format("%s  echo %s lost", at.c_str(), DottedIPv4(event.sample.address).c_str());
      return Format("%s  %s  %s %s %.1f ms", at.c_str(), name(event.endpoint).c_str(),
                    SampleKindName(event.sample.kind), event.sample.verdict.c_str(), event.sample.ms);
    case WatchEvent::Kind::StateChange:
      return Format("%s  %s  %s -> %s", at.c_str(), name(event.endpoint).c_str(), WatchStateName(event.from),
                    WatchStateName(event.to));
    case WatchEvent::Kind::OutageOpen:
      return Format("%s  %s  outage %llu opened (%s)", at.c_str(), name(event.endpoint).c_str(),
                    static_cast<unsigned long long>(event.outage.id), event.outage.by.c_str());
    case WatchEvent::Kind::OutageClose:
      return Format("%s  %s  outage %llu closed after %.1f s", at.c_str(), name(event.endpoint).c_str(),
                    static_cast<unsigned long long>(event.outage.id), event.outage.DurationMs(event.time) / 1000.0);
    case WatchEvent::Kind::OutagePlaced:
      return Format("%s  %s  outage %llu placed: %s: %s", at.c_str(), name(event.endpoint).c_str(),
                    static_cast<unsigned long long>(event.outage.id), event.outage.place.c_str(),
                    event.outage.conclusion.c_str());
    case WatchEvent::Kind::Paused:
      return Format("%s  paused since %s (the machine slept or the watch was stopped)", at.c_str(),
                    IsoUtc(event.pauseFrom).c_str());
    case WatchEvent::Kind::IdleEnd:
      if (event.idleEnd == IdleEndName(IdleEnd::None))
        return Format("%s  %s  idle connection still open after %.0f s", at.c_str(), name(event.endpoint).c_str(),
                      event.idleSeconds);
      return Format("%s  %s  idle connection ended: %s after %.0f s%s%s", at.c_str(), name(event.endpoint).c_str(),
                    event.idleEnd.c_str(), event.idleSeconds, event.idleReason.empty() ? "" : ": ",
                    event.idleReason.c_str());
    case WatchEvent::Kind::Minute:
      break;
  }
  return std::nullopt;
}

// The live table: endpoint, state, last ms, p50, p95, loss %, outages.
std::vector<std::string> TableLines(const WatchSnapshot& snapshot) {
  std::vector<std::string> lines;
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(snapshot.now - snapshot.started).count();
  lines.push_back(Format("watching %zu endpoints for %lld s (Ctrl+C ends the watch)", snapshot.endpoints.size(),
                         static_cast<long long>(elapsed)));
  lines.push_back(Format("%-4s %-40s %-21s %-11s %8s %8s %8s %7s %7s", "#", "label", "address:port", "now",
                         "last ms", "p50 ms", "p95 ms", "loss", "outages"));
  for (const EndpointSnapshot& e : snapshot.endpoints) {
    std::string label = e.label;
    if (label.size() < 40) label.append(40 - label.size(), ' ');
    const std::string last = e.lastMs ? Format("%.1f", *e.lastMs) : std::string("-");
    lines.push_back(Format("%-4zu %s %-21s %-11s %8s %8.1f %8.1f %6.1f%% %7zu", e.index, label.c_str(),
                           e.addressPort.c_str(), e.stateText.c_str(), last.c_str(), e.p50, e.p95,
                           e.lossRatio * 100.0, e.outages));
  }
  return lines;
}

int RunWatchCommand(const Context& context, const WatchCommandOptions& given) {
  std::optional<uint64_t> durationMs;
  if (!given.duration.empty() && !(durationMs = ParseDuration(given.duration)))
    return UsageError(context, "--duration takes a positive number with s, ms, m or h: " + given.duration);
  WatchOptions options;
  options.intervalMs = given.intervalMs;
  options.echoIntervalMs = given.echoIntervalMs;
  options.connectTimeoutMs = given.timeoutMs;
  options.placeTimeoutMs = given.timeoutMs;
  options.logPath = given.log;
  options.logSamples = given.logSamples;
  options.idle = given.idle;
  options.openMetricsPath = given.openMetrics;
  options.clientRoot = NativeTextToUtf8(context.paths.root());
  if (given.logSamples && given.log.empty()) return UsageError(context, "--log-samples needs --log FILE");
  if (const auto problem = WatchOptionsProblem(options)) return UsageError(context, *problem);

  if (const int unreadable = UnreadableHostFiles(context)) return unreadable;
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (catalogue.empty()) return NoHosts(context);
  // The client's own proxy, when it uses one: watched as well.
  if (ProxyRoute route = StoredProxyRoute(context.profile, context.paths); route.type >= 1 && route.type <= 4) {
    if (const auto problem = RouteProblem(route))
      context.err << "reachkit-cli: the stored proxy cannot be used (" << *problem << "), so only direct "
                  << "connects are watched\n" << std::flush;
    else
      options.proxy = std::move(route);
  }

  static IcmpEchoService echo;  // process-wide state; outlives the watch's threads
  Watch watch(SystemNameResolver(), echo, options);
  const bool table = !context.json && OutputIsTerminal();
  std::mutex outputMutex;
  std::vector<EndpointSnapshot> names;
  WatchEventCallback onEvent;
  if (!context.json && !table)
    onEvent = [&](const WatchEvent& event) {
      if (const auto line = EventLine(event, names)) {
        const std::lock_guard lock(outputMutex);
        WriteLine(context, context.out, *line);
      }
    };
  // The names the event lines use are fixed before the first event.
  {
    std::string error;
    const std::lock_guard lock(outputMutex);
    if (!watch.Start(catalogue, onEvent, &error)) {
      context.err << "reachkit-cli: " << error << "\n" << std::flush;
      return kExitFailed;
    }
    names = watch.Snapshot().endpoints;
  }
  if (!watch.Snapshot().icmpAvailable && !context.json) {
    const char* hint = IcmpPermissionHint();
    context.err << "reachkit-cli: echoes cannot be sent, so only connects are watched"
                << (hint != nullptr && *hint != '\0' ? std::string(" (") + hint + ")" : std::string()) << "\n"
                << std::flush;
  }

  const auto start = std::chrono::steady_clock::now();
  std::size_t drawn = 0;
  auto lastDraw = start - std::chrono::seconds(1);
  while (!context.interrupted.load()) {
    const auto now = std::chrono::steady_clock::now();
    if (durationMs && now - start >= std::chrono::milliseconds(*durationMs)) break;
    if (table && now - lastDraw >= std::chrono::seconds(1)) {
      lastDraw = now;
      const std::vector<std::string> lines = TableLines(watch.Snapshot());
      // Back over the last drawing, then the new one over it.
      if (drawn > 0) context.out << "\x1b[" << drawn << "F\x1b[J";
      for (const std::string& line : lines) WriteListLine(context, context.out, line);
      context.out.flush();
      drawn = lines.size();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
  }
  watch.Stop();
  const WatchSummary summary = watch.Summary();
  if (!context.json) context.out << '\n';
  WriteSummary(context, "watch", summary, summary.end);
  // Ctrl+C is the normal end of a watch: the code says whether any outage was seen.
  return summary.OutageCount() == 0 ? kExitOk : kExitFailed;
}

int RunSummaryCommand(const Context& context, const SummaryCommandOptions& given) {
  std::optional<WatchTime> from, to;
  if (!given.from.empty() && !(from = ParseIsoUtc(given.from)))
    return UsageError(context, "--from takes a UTC time such as 2026-12-07T09:00:00Z: " + given.from);
  if (!given.to.empty() && !(to = ParseIsoUtc(given.to)))
    return UsageError(context, "--to takes a UTC time such as 2026-12-07T09:30:00Z: " + given.to);
  if (from && to && *to <= *from) return UsageError(context, "--to must come after --from");
  WatchSummary summary;
  std::string error;
  std::size_t skipped = 0;
  if (!given.html.empty()) {
    // The page covers the whole log: its charts are the watch's story, not a window of it.
    std::ostringstream page;
    if (!WriteWatchReportHtml(given.log, REACHKIT_VERSION, page, &error)) {
      context.err << "reachkit-cli: " << error << "\n" << std::flush;
      return kExitFailed;
    }
    std::ofstream html(given.html, std::ios::binary | std::ios::trunc);
    html << page.str();
    html.close();
    if (!html) {
      context.err << "reachkit-cli: cannot write the HTML report to " << given.html << '\n' << std::flush;
      return kExitFailed;
    }
  }
  if (!SummarizeWatchLog(given.log, from, to, summary, &error, &skipped)) {
    context.err << "reachkit-cli: " << error << "\n" << std::flush;
    return kExitFailed;
  }
  if (skipped > 0)
    context.err << "reachkit-cli: " << skipped << " line(s) of the log could not be read and were skipped\n"
                << std::flush;
  WriteSummary(context, "watch-summary", summary, summary.end);
  return summary.OutageCount() == 0 ? kExitOk : kExitFailed;
}

}  // namespace

void AddWatchCommands(Commands& commands) {
  auto options = std::make_shared<WatchCommandOptions>();
  CLI::App* watch = commands.Add(
      "watch",
      "Every endpoint of the host list watched until Ctrl+C or --duration: a connect each interval, "
      "an echo each second to every address that is not loopback; outages (2 failed connects in a row, "
      "or 3 s without an echo answer from an address that answered within the last minute) are placed "
      "by a check of the endpoint. A live table on a terminal, one line per event otherwise; "
      "the summary at the end",
      "0 no outage, 1 an outage was seen or the watch could not start (Ctrl+C is the normal end), 3 no hosts",
      [options](const Context& c) { return RunWatchCommand(c, *options); });
  watch->add_option("--duration", options->duration, "how long to watch (90s, 5m, 2h, 500ms; default: until Ctrl+C)")
      ->option_text("D");
  watch->add_option("--log", options->log, "append JSON Lines records to FILE (rolls over to FILE.1 past 50 MB)")
      ->option_text("FILE");
  watch->add_flag("--log-samples", options->logSamples, "log every sample, not only the failed ones");
  watch->add_flag("--idle", options->idle,
                  "also hold one connection per endpoint open and idle, with TCP keepalive, and record "
                  "how and when it ends (closed, reset, keepalive-failed)");
  watch->add_option("--openmetrics", options->openMetrics,
                    "rewrite FILE (ending in .prom) every 15 s for the node exporter's textfile collector")
      ->option_text("FILE");
  watch->add_option("--interval-ms", options->intervalMs, "connect interval per endpoint (default 5000)")
      ->option_text("N");
  watch->add_option("--echo-interval-ms", options->echoIntervalMs, "echo interval per address (default 1000)")
      ->option_text("N");
  watch->add_option("--timeout-ms", options->timeoutMs, "connect time-out (default 3000)")->option_text("N");

  auto summary = std::make_shared<SummaryCommandOptions>();
  CLI::App* read = commands.Add(
      "watch-summary",
      "The summary of a watch log (FILE.1 and FILE), whole or over [--from, --to): per endpoint samples, "
      "loss, p50/p95/p99/max, jitter, the outages with their places",
      "0 no outage in the window, 1 an outage in it or the log cannot be read",
      [summary](const Context& c) { return RunSummaryCommand(c, *summary); });
  read->add_option("LOG", summary->log, "the log watch --log wrote")->required();
  read->add_option("--from", summary->from, "from this UTC time (2026-12-07T09:00:00Z)")->option_text("T");
  read->add_option("--to", summary->to, "up to this UTC time, not included")->option_text("T");
  read->add_option("--html", summary->html,
                   "also write the whole log as one HTML page (charts, outages) to FILE")
      ->option_text("FILE");
}

}  // namespace rk::cli
