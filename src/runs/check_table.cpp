#include "runs/check_table.h"

#include <algorithm>

#include "base/format.h"
#include "probes/net_address.h"

namespace rk {

namespace {

std::string EndpointText(const EndpointResult& endpoint) {
  const std::string address = endpoint.address ? DottedIPv4(*endpoint.address) : std::string("-");
  const std::string port = endpoint.port == 0 ? std::string("-") : std::to_string(endpoint.port);
  return address + ":" + port;
}

// Pads code page 950 text to `width` bytes: a two-byte character is two
// columns wide, so bytes and columns agree.
std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

constexpr std::size_t kMinLabelWidth = 12;
constexpr std::size_t kMaxLabelWidth = 48;

}  // namespace

std::vector<ProxyTarget> ProxyTargets(const CheckReport& report) {
  std::vector<ProxyTarget> targets;
  targets.reserve(report.endpoints.size());
  for (const EndpointResult& endpoint : report.endpoints)
    targets.push_back({endpoint.host, endpoint.port});
  return targets;
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

std::string ProxiedTableHeading(const ProxyRoute& route, std::string_view settingsPath) {
  const char* type = ProxyTypeName(route.type);
  return Format("through the %s proxy %s:%s (%s):", type != nullptr ? type : "?",
                route.host.c_str(), route.port.c_str(), std::string(settingsPath).c_str());
}

std::string ProxiedTableLine(std::size_t index, const std::string& label, const ProxyTarget& target,
                             const ProxyResult& result, std::size_t labelWidth) {
  const std::string endpoint = Format("%s:%d", target.host.c_str(), target.port);
  return Format("%-4zu %-*s %-22s %-20s %.1f ms  %s", index, static_cast<int>(labelWidth),
                label.c_str(), endpoint.c_str(), ProxyVerdictName(result.verdict), result.ms,
                result.reason.c_str());
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

std::vector<std::string> CheckTextLines(const CheckRun& run, std::string_view settingsPath) {
  const CheckReport& report = run.report;
  std::size_t labelWidth = kMinLabelWidth;
  for (const EndpointResult& endpoint : report.endpoints)
    labelWidth = std::max(labelWidth, endpoint.label.size());
  labelWidth = std::min(labelWidth, kMaxLabelWidth);
  std::vector<std::string> lines{CheckTableHeading(labelWidth)};
  for (const EndpointResult& endpoint : report.endpoints)
    lines.push_back(CheckTableLine(endpoint, labelWidth));
  if (run.proxy) {
    lines.emplace_back("");
    lines.push_back(ProxiedTableHeading(*run.proxy, settingsPath));
    for (std::size_t i = 0; i < run.proxied.size() && i < report.endpoints.size(); ++i) {
      const EndpointResult& endpoint = report.endpoints[i];
      lines.push_back(ProxiedTableLine(endpoint.index, endpoint.label, {endpoint.host, endpoint.port},
                                       run.proxied[i], labelWidth));
    }
  }
  for (std::string& line : CheckClosingLines(report)) lines.push_back(std::move(line));
  return lines;
}

}  // namespace rk
