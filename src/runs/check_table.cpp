#include "runs/check_table.h"

#include <algorithm>
#include <map>

#include "base/dbcs.h"

#include "base/format.h"
#include "probes/net_address.h"

namespace rk {

namespace {

// The port as typed when it is not its number, "-" for none.
std::string PortText(int32_t port, const std::string& typed) {
  if (!typed.empty()) return typed;
  return port == 0 ? std::string("-") : std::to_string(port);
}

// Columns of code page 950 text: a two-byte character takes two, as it does
// in bytes; what the table counts is characters, so a text is never cut or
// padded inside one.
std::size_t Columns(std::string_view text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsCp950LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
      columns += 2;
    } else {
      ++columns;
    }
  }
  return columns;
}

// `text` cut to at most `width` columns at a character's end, then padded
// with blanks to `width`.
std::string Padded(std::string_view text, std::size_t width) {
  std::string out;
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size();) {
    const bool wide = IsCp950LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    const std::size_t step = wide ? 2 : 1;
    if (columns + step > width) break;
    out.append(text.substr(i, step));
    columns += step;
    i += step;
  }
  out.append(width - columns, ' ');
  return out;
}

// Index column: six digits (the catalogue holds up to 100,000 Local entries
// beside the server entries) and a blank.
constexpr std::size_t kIndexWidth = 7;
constexpr std::size_t kMinLabelWidth = 12;
constexpr std::size_t kMaxLabelWidth = 48;

std::string SummaryLine(const CheckRun& run) {
  const CheckReport& report = run.report;
  std::string summary = Format("%zu endpoints:", report.endpoints.size());
  bool first = true;
  for (std::size_t v = 0; v < kVerdictCount; ++v) {
    if (report.counts[v] == 0) continue;
    summary += Format("%s %zu %s", first ? "" : ",", report.counts[v],
                      VerdictName(static_cast<Verdict>(v)));
    first = false;
  }
  if (run.proxy) {
    std::map<std::string, std::size_t> proxied;
    for (const ProxyResult& result : run.proxied) ++proxied[ProxyVerdictName(result.verdict)];
    summary += "; through the proxy:";
    first = true;
    for (const auto& [name, count] : proxied) {
      summary += Format("%s %zu %s", first ? "" : ",", count, name.c_str());
      first = false;
    }
    if (first) summary += " none";
  }
  summary += Format(" (%.1f ms)", report.durationMs);
  return summary;
}

std::string CheckTableHeading(std::size_t labelWidth) {
  return Padded("#", kIndexWidth) + Padded("label", labelWidth) + " " + Padded("address:port", 22) + " " +
         Padded("verdict", 12) + " time";
}

std::string CheckTableLine(const EndpointResult& endpoint, std::size_t labelWidth) {
  return Padded(std::to_string(endpoint.index), kIndexWidth) + Padded(endpoint.label, labelWidth) + " " +
         Padded(EndpointText(endpoint), 22) + " " + Padded(VerdictName(endpoint.verdict), 12) +
         Format(" %.1f ms", endpoint.ms);
}

}  // namespace

std::string EndpointText(const EndpointResult& endpoint) {
  const std::string address = endpoint.address   ? DottedIPv4(*endpoint.address)
                              : !endpoint.host.empty() ? endpoint.host
                                                       : std::string("-");
  return address + ":" + PortText(endpoint.port, endpoint.portText);
}

std::vector<ProxyTarget> ProxyTargets(const CheckReport& report) {
  std::vector<ProxyTarget> targets;
  targets.reserve(report.endpoints.size());
  for (const EndpointResult& endpoint : report.endpoints)
    targets.push_back({endpoint.host, endpoint.port});
  return targets;
}

std::string ProxiedTableHeading(const ProxyRoute& route, std::string_view settingsPath) {
  const char* type = ProxyTypeName(route.type);
  return Format("through the %s proxy %s:%s (%s):", type != nullptr ? type : "?",
                route.host.c_str(), route.port.c_str(), std::string(settingsPath).c_str());
}

std::string ProxiedTableLine(std::size_t index, const std::string& label, const ProxyTarget& target,
                             const ProxyResult& result, std::size_t labelWidth) {
  const std::string endpoint = Format("%s:%d", target.host.c_str(), target.port);
  return Padded(std::to_string(index), kIndexWidth) + Padded(label, labelWidth) + " " +
         Padded(endpoint, 22) + " " + Padded(ProxyVerdictName(result.verdict), 20) +
         Format(" %.1f ms  %s", result.ms, result.reason.c_str());
}

void ConcludeRun(CheckRun& run, const ConfigurationFacts& configuration) {
  run.conclusion = Conclude(run.report, run.proxy ? &run.proxied : nullptr, run.proxy, configuration,
                            run.network);
}

namespace {

// The causes and the summary under the table.
std::vector<std::string> ClosingLines(const CheckRun& run) {
  const CheckReport& report = run.report;
  std::vector<std::string> lines;
  bool heading = false;
  for (const EndpointResult& endpoint : report.endpoints) {
    if (endpoint.cause.empty()) continue;
    if (!heading) {
      lines.emplace_back("");
      lines.emplace_back("causes:");
      heading = true;
    }
    lines.push_back(Padded(std::to_string(endpoint.index), kIndexWidth) + EndpointText(endpoint) +
                    "  " + endpoint.cause);
  }
  lines.emplace_back("");
  lines.push_back(SummaryLine(run));
  return lines;
}

}  // namespace

std::vector<std::string> CheckTextLines(const CheckRun& run, std::string_view settingsPath) {
  const CheckReport& report = run.report;
  std::size_t labelWidth = kMinLabelWidth;
  for (const EndpointResult& endpoint : report.endpoints)
    labelWidth = std::max(labelWidth, Columns(endpoint.label));
  labelWidth = std::min(labelWidth, kMaxLabelWidth);
  std::vector<std::string> lines;
  if (run.conclusion) {
    lines.push_back(ConclusionLine(*run.conclusion));
    lines.emplace_back("");
  }
  lines.push_back(CheckTableHeading(labelWidth));
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
  for (std::string& line : ClosingLines(run)) lines.push_back(std::move(line));
  return lines;
}

}  // namespace rk
