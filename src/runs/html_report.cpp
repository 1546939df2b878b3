#include "runs/html_report.h"

#include <set>
#include <string>

#include "base/codepage.h"
#include "base/format.h"
#include "base/utc_time.h"
#include "config/proxy_settings.h"
#include "probes/net_address.h"
#include "runs/svg_chart.h"

namespace rk {

namespace {

// Fonts are the ones installed locally: nothing is fetched. The print style
// drops the tints that carry nothing in grey and keeps tables and charts whole
// on a page.
constexpr char kStyle[] = R"css(
body { font-family: "Segoe UI", "Microsoft JhengHei", "PMingLiU", "Noto Sans CJK TC",
  "WenQuanYi Micro Hei", sans-serif; font-size: 14px; color: #1a1a1a; margin: 16px 24px;
  max-width: 1200px; }
h1 { font-size: 22px; margin: 0 0 6px; }
h2 { font-size: 17px; margin: 22px 0 8px; border-bottom: 2px solid #1d4e89; padding-bottom: 2px; }
h3 { font-size: 15px; margin: 16px 0 6px; }
.meta { color: #444; margin: 0 0 12px; }
.meta span { margin-right: 18px; white-space: nowrap; }
.conclusion { border: 2px solid #1d4e89; border-left-width: 8px; background: #eef3fa;
  padding: 10px 14px; margin: 12px 0; }
.conclusion p { margin: 4px 0; }
.conclusion h2 { margin-top: 0; border-bottom: none; }
.conclusion .code { font-family: monospace; color: #444; }
.conclusion.all-open { border-color: #2f7d32; background: #eef7ee; }
table { border-collapse: collapse; margin: 6px 0 10px; }
th, td { border: 1px solid #bbb; padding: 3px 8px; text-align: left; vertical-align: top; }
th { background: #e8e8e8; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.nowrap { white-space: nowrap; }
tr.bad td { background: #fff3f1; }
td.verdict { font-weight: bold; white-space: nowrap; }
td.verdict.good { color: #1e6b22; }
td.verdict.bad { color: #a3151f; }
ul.keys { list-style: none; padding-left: 0; font-family: monospace; margin: 4px 0; }
svg.chart, svg.share-bar { max-width: 100%; height: auto; display: block; margin: 4px 0 8px; }
.endpoint { margin-bottom: 18px; }
.note { color: #555; font-size: 13px; }
@media print {
  body { margin: 0; font-size: 10pt; max-width: none; }
  h2 { border-bottom-color: #000; }
  .conclusion, .conclusion.all-open { background: none; border-color: #000; }
  tr.bad td { background: none; }
  th { background: none; border-bottom: 2px solid #000; }
  table, .endpoint, .conclusion, svg.chart { break-inside: avoid; }
}
)css";

std::string Utf8Html(std::string_view utf8) { return EscapeXml(utf8); }
std::string NativeHtml(std::string_view native) { return EscapeXml(NativeTextToUtf8(std::string(native))); }

void ConclusionSection(const CheckRun& run, std::ostream& out) {
  if (!run.conclusion) return;
  const Conclusion& conclusion = *run.conclusion;
  out << "<section class=\"conclusion"
      << (conclusion.code == ConclusionCode::AllOpen ? " all-open" : "") << "\" id=\"conclusion\">"
      << "<h2>Conclusion</h2><p><strong>" << EscapeXml(Cp950ToUtf8(conclusion.text))
      << "</strong></p><p>Next step: " << Utf8Html(conclusion.advice) << "</p>"
      << "<p class=\"code\">place: " << ConclusionCodeName(conclusion.code);
  if (conclusion.code == ConclusionCode::Several) {
    out << " (";
    for (std::size_t i = 0; i < conclusion.findings.size(); ++i)
      out << (i ? ", " : "") << ConclusionCodeName(conclusion.findings[i].code);
    out << ")";
  }
  out << "</p></section>\n";
}

void EndpointTable(const CheckRun& run, std::ostream& out) {
  const CheckReport& report = run.report;
  const bool proxied = run.proxy.has_value();
  out << "<h2>Endpoints</h2>\n";
  std::vector<BarPart> parts;
  for (std::size_t v = 0; v < kVerdictCount; ++v)
    parts.push_back({VerdictName(static_cast<Verdict>(v)), report.counts[v], v == 0});
  out << SvgShareBar("verdicts", "endpoints by verdict", parts) << '\n';
  if (proxied)
    out << "<p>Tried directly and through the stored "
        << (ProxyTypeName(run.proxy->type) != nullptr ? ProxyTypeName(run.proxy->type) : "?")
        << " proxy " << ClientTextHtml(run.proxy->host) << ":" << ClientTextHtml(run.proxy->port)
        << " (" << NativeHtml(run.proxy->settingsPath) << ").</p>\n";
  out << "<table class=\"endpoints\"><thead><tr><th class=\"num\">#</th><th>label</th>"
         "<th>address:port</th><th>verdict</th><th class=\"num\">time</th><th>cause</th>";
  if (proxied) out << "<th>via proxy</th><th class=\"num\">time</th><th>proxy's reason</th>";
  out << "</tr></thead><tbody>\n";
  for (std::size_t i = 0; i < report.endpoints.size(); ++i) {
    const EndpointResult& endpoint = report.endpoints[i];
    const bool open = endpoint.verdict == Verdict::Open;
    out << "<tr class=\"endpoint-row " << (open ? "good" : "bad") << "\"><td class=\"num\">"
        << endpoint.index << "</td><td class=\"nowrap\">" << ClientTextHtml(endpoint.label)
        << "</td><td class=\"nowrap\">" << ClientTextHtml(EndpointText(endpoint))
        << "</td><td class=\"verdict " << (open ? "good" : "bad") << "\">"
        << VerdictName(endpoint.verdict) << "</td><td class=\"num\">"
        << Format("%.1f ms", endpoint.ms) << "</td><td>" << EscapeXml(Cp950ToUtf8(endpoint.cause))
        << "</td>";
    if (proxied) {
      if (i < run.proxied.size())
        out << "<td class=\"verdict "
            << (run.proxied[i].verdict == ProxyVerdict::OpenViaProxy ? "good" : "bad") << "\">"
            << ProxyVerdictName(run.proxied[i].verdict)
            << "</td><td class=\"num\">"
            << Format("%.1f ms", run.proxied[i].ms) << "</td><td>"
            << Utf8Html(run.proxied[i].reason) << "</td>";
      else
        out << "<td>-</td><td></td><td></td>";
    }
    out << "</tr>\n";
  }
  out << "</tbody></table>\n<p>" << report.endpoints.size() << " endpoints:";
  bool first = true;
  for (std::size_t v = 0; v < kVerdictCount; ++v) {
    if (report.counts[v] == 0) continue;
    out << (first ? " " : ", ") << report.counts[v] << ' ' << VerdictName(static_cast<Verdict>(v));
    first = false;
  }
  out << Format(" (%.1f ms)", report.durationMs);
  if (report.interrupted) out << "; interrupted before every endpoint had a verdict";
  if (report.diagnosed && !report.icmpAvailable)
    out << "; the diagnosis needs permission to send ICMP echo";
  out << "</p>\n";
}

void NetworkFactsSection(const ReportResult& result, std::ostream& out) {
  out << "<h2>This machine</h2>\n<table class=\"facts\"><tbody>";
  out << "<tr><th>host name</th><td>" << Utf8Html(result.hostName) << "</td></tr>";
  out << "<tr><th>IPv4 addresses</th><td>";
  for (std::size_t i = 0; i < result.ipv4Addresses.size(); ++i)
    out << (i ? ", " : "") << Utf8Html(result.ipv4Addresses[i]);
  out << "</td></tr>";
  if (result.check) {
    const NetworkFacts& network = result.check->network;
    out << "<tr><th>default gateway</th><td>"
        << (network.gateway ? DottedIPv4(*network.gateway) : std::string("none"));
    if (network.gateway)
      out << (!network.gatewayEchoed     ? " (not echoed: no failing endpoint's route goes through it)"
              : network.gatewayAnswered ? Format(" (answers echo in %u ms)", network.gatewayMs)
                                        : std::string(" (does not answer echo)"));
    out << "</td></tr><tr><th>DNS servers</th><td>";
    for (std::size_t i = 0; i < network.dnsServers.size(); ++i)
      out << (i ? ", " : "") << Utf8Html(network.dnsServers[i]);
    if (network.dnsServers.empty()) out << "none found";
    out << "</td></tr>";
    std::set<std::string> named;
    for (const EndpointResult& endpoint : result.check->report.endpoints)
      if (endpoint.lookupMs && named.insert(endpoint.host).second)
        out << "<tr><th>name look-up</th><td>" << ClientTextHtml(endpoint.host) << ' '
            << (endpoint.address ? "&rarr; " + DottedIPv4(*endpoint.address) : std::string("failed"))
            << Format(" in %.1f ms", *endpoint.lookupMs) << "</td></tr>";
  }
  out << "</tbody></table>\n";
}

void ConfigurationSection(const ReportResult& result, std::ostream& out) {
  out << "<h2>Configuration</h2>\n<p>client root: " << NativeHtml(result.clientRoot) << "</p>\n";
  out << "<h3>Files read</h3><table class=\"files\"><thead><tr><th>file</th><th>path</th>"
         "<th class=\"num\">bytes</th><th>modified (UTC)</th></tr></thead><tbody>";
  for (const ConfigFile& file : result.files) {
    out << "<tr><td>" << Utf8Html(file.name) << "</td><td>" << NativeHtml(file.path) << "</td>";
    if (file.facts.exists && !file.facts.unreadable.empty())
      out << "<td colspan=\"2\">unreadable: " << Utf8Html(file.facts.unreadable) << "</td>";
    else if (file.facts.exists)
      out << "<td class=\"num\">" << file.facts.size << "</td><td>"
          << IsoUtc(file.facts.modifiedUnix) << "</td>";
    else
      out << "<td colspan=\"2\">missing</td>";
    out << "</tr>";
  }
  out << "</tbody></table>\n<h3>Hosts</h3><table class=\"hosts\"><thead><tr><th class=\"num\">#</th>"
         "<th>label</th><th>ports tried</th></tr></thead><tbody>";
  for (const HostRow& row : result.hosts.hosts) {
    out << "<tr><td class=\"num\">" << row.index << "</td><td>" << ClientTextHtml(row.label)
        << "</td><td>";
    for (std::size_t i = 0; i < row.ports.size(); ++i) out << (i ? ", " : "") << row.ports[i];
    out << "</td></tr>";
  }
  out << "</tbody></table>\n<h3>Preference</h3><p>" << ClientTextHtml(result.preference.line)
      << "</p>\n<h3>Proxy</h3><p>master copy (the dialog loads it): "
      << NativeHtml(result.proxy.masterCopy) << "</p>\n";
  // The collected report never shows passwords; the key lines mask them.
  for (const ProxyFile& file : result.proxy.files) {
    out << "<p>" << (file.name == "tool_settings" ? "tool settings" : "base configuration") << ": "
        << NativeHtml(file.path) << "</p><ul class=\"keys\">";
    for (const std::string& line : ProxyKeyLines(result.proxy, file))
      out << "<li>" << ClientTextHtml(line) << "</li>";
    out << "</ul>\n";
  }
}

}  // namespace

std::string ClientTextHtml(std::string_view cp950) {
  return "<span lang=\"zh-Hant\">" + EscapeXml(Cp950ToUtf8(cp950)) + "</span>";
}

void WriteHtmlHead(std::ostream& out, std::string_view titleUtf8) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
      << EscapeXml(titleUtf8) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
}

void WriteHtmlTail(std::ostream& out) { out << "</body>\n</html>\n"; }

void WriteCheckHtml(const ReportResult& report, std::ostream& out) {
  WriteHtmlHead(out, "Reachkit support report " + IsoUtc(report.generatedUnix));
  out << "<h1>Reachkit support report</h1>\n<p class=\"meta\"><span>generated "
      << IsoUtc(report.generatedUnix) << " (local offset " << UtcOffsetText(report.localOffsetMinutes)
      << ")</span><span>version " << Utf8Html(report.version) << "</span><span>host "
      << Utf8Html(report.hostName) << "</span></p>\n";
  if (report.check) {
    ConclusionSection(*report.check, out);
    EndpointTable(*report.check, out);
  } else {
    out << "<section class=\"conclusion\" id=\"conclusion\"><h2>Check</h2><p>"
        << Utf8Html(report.noCheck) << "</p></section>\n";
  }
  NetworkFactsSection(report, out);
  ConfigurationSection(report, out);
  if (report.resultLines) {
    out << "<h2>Result list</h2><pre lang=\"zh-Hant\">";
    for (const std::string& line : *report.resultLines) out << EscapeXml(Cp950ToUtf8(line)) << '\n';
    out << "</pre>\n";
  }
  WriteHtmlTail(out);
}

}  // namespace rk
