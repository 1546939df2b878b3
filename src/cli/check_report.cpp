#include "cli/check_report.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>

#include "base/codepage.h"
#include "base/format.h"
#include "diagnostics/icmp_echo.h"
#include "diagnostics/net_address.h"

namespace rk::cli {

namespace {

std::string AddressText(const EndpointResult& endpoint) {
  return endpoint.address ? DottedIPv4(*endpoint.address) : std::string("-");
}

std::string EndpointText(const EndpointResult& endpoint) {
  const std::string port = endpoint.port == 0 ? std::string("-") : std::to_string(endpoint.port);
  return AddressText(endpoint) + ":" + port;
}

// Pads code page 950 text to `width` bytes: a two-byte character is two
// columns wide, so bytes and columns agree.
std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

constexpr std::size_t kMinLabelWidth = 12;
constexpr std::size_t kMaxLabelWidth = 48;

nlohmann::ordered_json Milliseconds(double ms) { return std::round(ms * 10.0) / 10.0; }

}  // namespace

void AddCheckOptions(CLI::App& command, CheckRunOptions& options) {
  command.add_option("--timeout-ms", options.timeoutMs, "the connect time-out per endpoint")
      ->check(CLI::Range(1u, 600000u))
      ->option_text("N (10000)");
  command.add_flag("--no-diagnose", options.noDiagnose,
                   "no echo or path probe for the addresses that are not open");
}

CheckRun RunCheck(const HostCatalogue& catalogue, const CheckRunOptions& options,
                  const StopFlag& stop, const VerdictCallback& onVerdict,
                  const WaitingCallback& onWaiting) {
  CheckOptions checkOptions;
  checkOptions.connectTimeoutMs = options.timeoutMs;
  checkOptions.diagnose = !options.noDiagnose;
  IcmpEchoService echo;
  ReachabilityCheck check(SystemNameResolver(), echo, checkOptions);
  CheckRun run;
  run.started = std::chrono::system_clock::now();
  run.report = check.Run(catalogue, onVerdict, &stop, onWaiting);
  return run;
}

std::size_t LabelColumnWidth(const HostCatalogue& catalogue) {
  std::size_t width = kMinLabelWidth;
  for (const std::string& label : catalogue.labels) width = std::max(width, label.size());
  return std::min(width, kMaxLabelWidth);
}

std::string CheckTableHeading(std::size_t labelWidth) {
  return Padded("#", 5) + Padded("label", labelWidth) + " " + Padded("address:port", 22) + " " +
         Padded("verdict", 12) + " time";
}

std::string CheckTableLine(const EndpointResult& endpoint, std::size_t labelWidth) {
  return Padded(std::to_string(endpoint.index), 5) + Padded(endpoint.label, labelWidth) + " " +
         Padded(EndpointText(endpoint), 22) + " " + Padded(VerdictName(endpoint.verdict), 12) +
         Format(" %.1f ms", endpoint.ms);
}

std::vector<std::string> CheckClosingLines(const CheckReport& report) {
  std::vector<std::string> lines;
  bool heading = false;
  for (const EndpointResult& endpoint : report.endpoints) {
    if (endpoint.cause.empty()) continue;
    if (!heading) {
      lines.emplace_back("");
      lines.emplace_back("causes:");
      heading = true;
    }
    lines.push_back(Padded(std::to_string(endpoint.index), 5) + EndpointText(endpoint) + "  " +
                    endpoint.cause);
  }
  std::string summary = Format("%zu endpoints:", report.endpoints.size());
  bool first = true;
  for (std::size_t v = 0; v < kVerdictCount; ++v) {
    if (report.counts[v] == 0) continue;
    summary += Format("%s %zu %s", first ? "" : ",", report.counts[v],
                      VerdictName(static_cast<Verdict>(v)));
    first = false;
  }
  summary += Format(" (%.1f ms)", report.durationMs);
  lines.emplace_back("");
  lines.push_back(summary);
  return lines;
}

std::vector<std::string> CheckTextLines(const CheckReport& report) {
  std::size_t labelWidth = kMinLabelWidth;
  for (const EndpointResult& endpoint : report.endpoints)
    labelWidth = std::max(labelWidth, endpoint.label.size());
  labelWidth = std::min(labelWidth, kMaxLabelWidth);
  std::vector<std::string> lines{CheckTableHeading(labelWidth)};
  for (const EndpointResult& endpoint : report.endpoints)
    lines.push_back(CheckTableLine(endpoint, labelWidth));
  for (std::string& line : CheckClosingLines(report)) lines.push_back(std::move(line));
  return lines;
}

std::string IsoUtc(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(when);
  const auto day = floor<days>(ms);
  const year_month_day date{day};
  const hh_mm_ss time{ms - day};
  return Format("%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
}

nlohmann::ordered_json CheckJson(const CheckReport& report, const std::string& clientRoot,
                         std::chrono::system_clock::time_point started) {
  nlohmann::ordered_json endpoints = nlohmann::ordered_json::array();
  for (const EndpointResult& endpoint : report.endpoints) {
    nlohmann::ordered_json item{
        {"index", endpoint.index},
        {"label", Cp950ToUtf8(endpoint.label)},
        {"host", Cp950ToUtf8(endpoint.host)},
        {"address", endpoint.address ? nlohmann::ordered_json(DottedIPv4(*endpoint.address)) : nlohmann::ordered_json()},
        {"port", endpoint.port},
        {"verdict", VerdictName(endpoint.verdict)},
        {"ms", Milliseconds(endpoint.ms)},
        {"cause", endpoint.cause},
        {"reporter", endpoint.reporter != 0 ? nlohmann::ordered_json(DottedIPv4(endpoint.reporter))
                                             : nlohmann::ordered_json()},
    };
    endpoints.push_back(std::move(item));
  }
  nlohmann::ordered_json addresses = nlohmann::ordered_json::array();
  for (const AddressDiagnosis& diagnosis : report.addresses) {
    nlohmann::ordered_json hops = nlohmann::ordered_json::array();
    for (const PathHop& hop : diagnosis.path.hops)
      hops.push_back({{"ttl", hop.ttl}, {"address", DottedIPv4(hop.address)}, {"ms", hop.ms}});
    addresses.push_back({
        {"address", DottedIPv4(diagnosis.address)},
        {"echo",
         {{"answered", diagnosis.echoAnswered},
          {"ms", diagnosis.echoAnswered ? nlohmann::ordered_json(diagnosis.echoMs) : nlohmann::ordered_json()}}},
        {"path",
         {{"hops", std::move(hops)},
          {"last_ttl", diagnosis.path.lastTtl},
          {"target_reached", diagnosis.path.targetReached}}},
    });
  }
  nlohmann::ordered_json summary = nlohmann::ordered_json::object();
  for (std::size_t v = 0; v < kVerdictCount; ++v)
    summary[VerdictName(static_cast<Verdict>(v))] = report.counts[v];
  summary["total"] = report.endpoints.size();
  return {
      {"client_root", Cp950ToUtf8(FromConsoleText(clientRoot))},
      {"started", IsoUtc(started)},
      {"duration_ms", Milliseconds(report.durationMs)},
      {"diagnosed", report.diagnosed},
      {"icmp_available", report.icmpAvailable},
      {"endpoints", std::move(endpoints)},
      {"addresses", std::move(addresses)},
      {"summary", std::move(summary)},
  };
}

}  // namespace rk::cli
