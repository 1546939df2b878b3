#include "cli/check_report.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>

#include "base/codepage.h"
#include "cli/proxy_check.h"
#include "base/format.h"
#include "probes/icmp_echo.h"
#include "probes/net_address.h"

namespace rk::cli {

namespace {

nlohmann::ordered_json Milliseconds(double ms) { return std::round(ms * 10.0) / 10.0; }

}  // namespace

void AddCheckOptions(CLI::App& command, CheckRunOptions& options) {
  command.add_option("--timeout-ms", options.timeoutMs, "the connect time-out per endpoint")
      ->check(CLI::Range(1u, 600000u))
      ->option_text("N (" + std::to_string(kConnectTimeoutMs) + ")");
  command.add_flag("--no-diagnose", options.noDiagnose,
                   "no echo or path probe for the addresses that are not open");
}

CheckRun RunCheck(const Context& context, const HostCatalogue& catalogue,
                  const CheckRunOptions& options, const std::optional<ProxyRoute>& route,
                  const char* waitingFormat) {
  WaitingCallback onWaiting;
  if (waitingFormat != nullptr)
    onWaiting = [&context, waitingFormat](std::size_t done, std::size_t total) {
      WriteLine(context, context.err, Format(waitingFormat, done, total));
    };

  CheckOptions checkOptions;
  checkOptions.connectTimeoutMs = options.timeoutMs;
  checkOptions.diagnose = !options.noDiagnose;
  IcmpEchoService echo;
  ReachabilityCheck check(SystemNameResolver(), echo, checkOptions);
  CheckRun run;
  run.started = std::chrono::system_clock::now();
  run.report = check.Run(catalogue, {}, &context.interrupted, onWaiting);
  // The machine's side, then the conclusion once every verdict is in.
  const auto conclude = [&] {
    run.network = ReadNetworkFacts();
    ProbeGateway(run.network, run.report, echo, std::min<uint32_t>(options.timeoutMs, kEchoTimeoutMs),
                 &context.interrupted);
    run.report.interrupted = run.report.interrupted || context.interrupted.load();
    ConcludeRun(run, ReadConfigurationFacts(catalogue, StoredProxy(context)));
  };
  if (!route || context.interrupted.load()) {
    conclude();
    return run;
  }

  // The proxied verdicts follow the direct ones, for the same endpoints.
  run.proxy = route;
  const std::vector<ProxyTarget> targets = ProxyTargets(run.report);
  if (waitingFormat != nullptr) WriteLine(context, context.err, "... checking through the proxy");
  const ProxyConnector connector(*route, SystemNameResolver(), options.timeoutMs);
  run.proxied = connector.ConnectAll(targets, {}, &context.interrupted);
  conclude();
  return run;
}

nlohmann::ordered_json CheckJson(const CheckRun& run, const std::string& clientRoot) {
  using json = nlohmann::ordered_json;
  const CheckReport& report = run.report;
  json endpoints = json::array();
  for (std::size_t i = 0; i < report.endpoints.size(); ++i) {
    const EndpointResult& endpoint = report.endpoints[i];
    json item{
        {"index", endpoint.index},
        {"label", Cp950ToUtf8(endpoint.label)},
        {"host", Cp950ToUtf8(endpoint.host)},
        {"address", endpoint.address ? json(DottedIPv4(*endpoint.address)) : json()},
        {"port", endpoint.port},
        {"port_text", endpoint.portText.empty() ? json() : json(Cp950ToUtf8(endpoint.portText))},
        {"verdict", VerdictName(endpoint.verdict)},
        {"ms", Milliseconds(endpoint.ms)},
        {"lookup_ms", endpoint.lookupMs ? Milliseconds(*endpoint.lookupMs) : json()},
        {"cause", Cp950ToUtf8(endpoint.cause)},
        {"reporter", endpoint.reporter != 0 ? json(DottedIPv4(endpoint.reporter)) : json()},
    };
    if (run.proxy && i < run.proxied.size()) {
      item["proxy_verdict"] = ProxyVerdictName(run.proxied[i].verdict);
      item["proxy_reason"] = run.proxied[i].reason;
    }
    endpoints.push_back(std::move(item));
  }
  json addresses = json::array();
  for (const AddressDiagnosis& diagnosis : report.addresses) {
    json hops = json::array();
    for (const PathHop& hop : diagnosis.path.hops)
      hops.push_back({{"ttl", hop.ttl}, {"address", DottedIPv4(hop.address)}, {"ms", hop.ms}});
    addresses.push_back({
        {"address", DottedIPv4(diagnosis.address)},
        {"echo",
         {{"answered", diagnosis.echoAnswered},
          {"ms", diagnosis.echoAnswered ? json(diagnosis.echoMs) : json()}}},
        {"path",
         {{"hops", std::move(hops)},
          {"last_ttl", diagnosis.path.lastTtl},
          {"target_reached", diagnosis.path.targetReached}}},
    });
  }
  json summary = json::object();
  for (std::size_t v = 0; v < kVerdictCount; ++v)
    summary[VerdictName(static_cast<Verdict>(v))] = report.counts[v];
  summary["total"] = report.endpoints.size();
  json document = json::object();
  if (run.conclusion)
    document["conclusion"] = {{"code", ConclusionCodeName(run.conclusion->code)},
                              {"text", Cp950ToUtf8(run.conclusion->text)},
                              {"advice", run.conclusion->advice}};
  if (run.conclusion && run.conclusion->code == ConclusionCode::Several) {
    json places = json::array();
    for (const Finding& finding : run.conclusion->findings) places.push_back(ConclusionCodeName(finding.code));
    document["conclusion"]["places"] = std::move(places);
  }
  if (run.proxy)
    document["proxy"] = {{"type", ProxyTypeName(run.proxy->type)},
                         {"host", Cp950ToUtf8(run.proxy->host)},
                         {"port", Cp950ToUtf8(run.proxy->port)},
                         {"settings_file", NativeTextToUtf8(run.proxy->settingsPath)}};
  document["client_root"] = Cp950ToUtf8(FromConsoleText(clientRoot));
  document["started"] = IsoUtc(run.started);
  document["duration_ms"] = Milliseconds(report.durationMs);
  document["diagnosed"] = report.diagnosed;
  document["icmp_available"] = report.icmpAvailable;
  document["interrupted"] = report.interrupted;
  document["network"] = {
      {"gateway", run.network.gateway ? json(DottedIPv4(*run.network.gateway)) : json()},
      {"gateway_echoed", run.network.gatewayEchoed},
      {"gateway_answered", run.network.gatewayEchoed ? json(run.network.gatewayAnswered) : json()},
      {"gateway_ms", run.network.gatewayAnswered ? json(run.network.gatewayMs) : json()},
      {"dns_servers", run.network.dnsServers}};
  document["endpoints"] = std::move(endpoints);
  document["addresses"] = std::move(addresses);
  document["summary"] = std::move(summary);
  return document;
}

}  // namespace rk::cli
