#include "runs/conclusion.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "base/format.h"
#include "base/texts.h"
#include "config/profile_store.h"
#include "probes/net_address.h"

namespace rk {

namespace {

constexpr std::size_t kMaxNames = 3;

bool IsLoopback(uint32_t address) {
  return (reinterpret_cast<const unsigned char*>(&address)[0]) == 127;
}

uint32_t HostOrder(uint32_t networkOrder) {
  const auto* b = reinterpret_cast<const unsigned char*>(&networkOrder);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

int PrefixLength(uint32_t mask) {
  int bits = 0;
  for (uint32_t m = HostOrder(mask); m != 0; m <<= 1) ++bits;
  return bits;
}

void AddName(std::vector<std::string>& names, const std::string& name) {
  if (names.size() < kMaxNames && std::find(names.begin(), names.end(), name) == names.end())
    names.push_back(name);
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

bool ProxyItselfFails(ProxyVerdict verdict) {
  return verdict == ProxyVerdict::ProxyUnreachable || verdict == ProxyVerdict::ProxyLoginRefused ||
         verdict == ProxyVerdict::ProxyProtocolError;
}

bool UsablePort(int32_t port) { return port >= 1 && port <= 65535; }

// What the findings so far hold, one per code.
class Findings {
 public:
  Finding& At(ConclusionCode code) {
    auto [found, added] = byCode_.try_emplace(code);
    if (added) found->second.code = code;
    return found->second;
  }
  [[nodiscard]] bool Has(ConclusionCode code) const { return byCode_.count(code) != 0; }
  void Drop(ConclusionCode code) { byCode_.erase(code); }
  [[nodiscard]] std::vector<Finding> InOrder() const {
    std::vector<Finding> list;
    for (const auto& [code, finding] : byCode_) list.push_back(finding);
    return list;
  }

 private:
  std::map<ConclusionCode, Finding> byCode_;
};

// Where a direct endpoint that is not open places the break.
void PlaceEndpoint(const EndpointResult& endpoint, const CheckReport& report,
                   const NetworkFacts& network, Findings& findings, bool& unplaced) {
  switch (endpoint.verdict) {
    case Verdict::Open:
    case Verdict::Interrupted:
      return;
    case Verdict::NoHost:
      ++findings.At(ConclusionCode::Configuration).emptyHosts;
      return;
    case Verdict::NoPort:
      ++findings.At(ConclusionCode::Configuration).noPorts;
      return;
    case Verdict::Error:
      if (!UsablePort(endpoint.port) || !endpoint.portText.empty())
        findings.At(ConclusionCode::Configuration).badPort = true;
      else
        unplaced = true;
      return;
    case Verdict::Refused:
      AddName(findings.At(ConclusionCode::BrokerHost).names, endpoint.host);
      return;
    default:
      break;
  }
  // Every other verdict without an address is a look-up that failed, however
  // it failed.
  if (!endpoint.address) {
    AddName(findings.At(ConclusionCode::Dns).names, endpoint.host);
    return;
  }
  const uint32_t address = *endpoint.address;
  const std::optional<uint32_t> gateway = RouteGateway(network, address);
  if (!gateway) {
    Finding& finding = findings.At(ConclusionCode::NoNetwork);
    if (finding.address == 0) finding.address = address;
    return;
  }
  const AddressDiagnosis* diagnosis = nullptr;
  for (const AddressDiagnosis& d : report.addresses)
    if (d.address == address) diagnosis = &d;
  if (endpoint.verdict == Verdict::Unreachable) {
    Finding& finding = findings.At(ConclusionCode::InternetPath);
    uint32_t reporter = endpoint.reporter;
    if (reporter == 0 && diagnosis != nullptr && diagnosis->path.endsWithReport)
      reporter = diagnosis->path.hops.back().address;
    if (finding.router == 0 && reporter != 0) {
      finding.router = reporter;
      finding.reported = true;
      if (diagnosis != nullptr)
        for (const PathHop& hop : diagnosis->path.hops)
          if (hop.address == reporter) finding.ttl = hop.ttl;
    }
    return;
  }
  if (endpoint.verdict != Verdict::Timeout) {
    unplaced = true;
    return;
  }
  if (diagnosis != nullptr && (diagnosis->echoAnswered || diagnosis->path.targetReached)) {
    AddName(findings.At(ConclusionCode::BrokerHost).names, endpoint.host);
    return;
  }
  if (*gateway != 0 && network.gatewayEchoed && !network.gatewayAnswered &&
      network.gateway == gateway) {
    findings.At(ConclusionCode::LocalNetwork).address = *gateway;
    return;
  }
  if (diagnosis != nullptr) {
    for (auto hop = diagnosis->path.hops.rbegin(); hop != diagnosis->path.hops.rend(); ++hop) {
      if (hop->address == address) continue;
      Finding& finding = findings.At(ConclusionCode::InternetPath);
      if (finding.router == 0) {
        finding.router = hop->address;
        finding.ttl = hop->ttl;
      }
      return;
    }
    // Not even the first router answers: beyond an answering gateway, the
    // provider's side.
    if (*gateway != 0 && network.gatewayAnswered) {
      Finding& finding = findings.At(ConclusionCode::InternetPath);
      if (finding.router == 0) {
        finding.router = *gateway;
        finding.ttl = 1;
      }
      return;
    }
  }
  unplaced = true;
}

std::string ConfigurationText(const Finding& f) {
  std::string text;
  const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (f.noHosts) add("no hosts");
  if (f.emptyHosts > 0)
    add(Format("%zu entr%s without a host", f.emptyHosts, f.emptyHosts == 1 ? "y" : "ies"));
  if (f.noPorts > 0) add(Format("%zu entr%s without a port", f.noPorts, f.noPorts == 1 ? "y" : "ies"));
  if (f.badPort) add("a port that is no number in 1..65535");
  if (f.listCut) add("the location list cut at 259 bytes");
  if (f.proxyValues) add("proxy values that cannot be used");
  return text;
}

std::string ConfigurationWords(const Finding& f) {
  std::string text;
  const auto add = [&text](const std::string& part) {
    if (!text.empty()) text += text::kListComma;
    text += part;
  };
  if (f.noHosts) add(text::kConfigNoHosts);
  if (f.emptyHosts > 0) add(Format(text::kConfigEmptyHostFormat, static_cast<int>(f.emptyHosts)));
  if (f.noPorts > 0) add(Format(text::kConfigNoPortFormat, static_cast<int>(f.noPorts)));
  if (f.badPort) add(text::kConfigBadPort);
  if (f.listCut) add(text::kConfigListCut);
  if (f.proxyValues) add(text::kConfigProxyValues);
  return text;
}

std::string RouterText(const Finding& f) {
  return f.ttl > 0 ? Format("router %d (%s)", f.ttl, DottedIPv4(f.router).c_str())
                   : Format("router %s", DottedIPv4(f.router).c_str());
}

// One finding's text and advice in English.
std::string ServerList(const std::vector<std::string>& servers) {
  std::string list;
  for (const std::string& s : servers) list += (list.empty() ? "" : ", ") + s;
  return list;
}

std::pair<std::string, std::string> FindingText(const Finding& f, const Conclusion& c) {
  const std::size_t endpoints = c.endpoints;
  switch (f.code) {
    case ConclusionCode::AllOpen:
      return {Format("every endpoint is open (%zu)", endpoints),
              "nothing to fix on the road to the hosts; if the client still cannot connect, send "
              "this report to support"};
    case ConclusionCode::NoNetwork:
      return {Format("this PC has no network: no route or address to reach %s",
                     DottedIPv4(f.address).c_str()),
              "connect the network cable or Wi-Fi and check that this PC has an address"};
    case ConclusionCode::LocalNetwork:
      return {Format("the local network: the gateway %s does not answer", DottedIPv4(f.address).c_str()),
              "check the cable or Wi-Fi to the router, then restart the router or modem"};
    case ConclusionCode::Dns: {
      const std::string servers = ServerList(c.dnsServers);
      return {Format("DNS: %s does not resolve", JoinNames(f.names).c_str()),
              Format("check the DNS servers (%s) or try another one, and the host name in the "
                     "configuration",
                     servers.empty() ? "none found" : servers.c_str())};
    }
    case ConclusionCode::InternetPath:
      return {f.router == 0   ? std::string("the internet path: the network says the host is unreachable")
              : f.reported    ? "the internet path: " + RouterText(f) + " says the host is unreachable"
                              : "the internet path: no answer beyond " + RouterText(f),
              "the break is beyond this PC's network: contact the internet provider with this report"};
    case ConclusionCode::BrokerHost:
      return {Format("the broker's host: %s %s reached, but %s ports are refused or filtered",
                     JoinNames(f.names).c_str(), f.names.size() == 1 ? "is" : "are",
                     f.names.size() == 1 ? "its" : "their"),
              "ask the broker whether the service is up and the ports are right; a firewall in front "
              "of the host may filter them"};
    case ConclusionCode::Proxy:
      if (f.proxyOnly)
        return {"the proxy: connections work only through the stored proxy " + f.proxyName +
                    "; direct ones fail",
                "keep the proxy settings: this network lets connections out only through the proxy"};
      return {f.proxyBroken ? "the proxy: the stored proxy " + f.proxyName + " itself fails"
                            : "the proxy: direct connections work, through the stored proxy " +
                                  f.proxyName + " they fail",
              "check the proxy's address, port and login in the proxy settings, or clear the proxy "
              "if this network needs none"};
    case ConclusionCode::Configuration:
      return {"the configuration: " + ConfigurationText(f),
              "correct the client's configuration files, or get the right settings from the broker"};
    case ConclusionCode::Several:
    case ConclusionCode::Unplaced:
      break;
  }
  return {"some endpoints are not open, and the check could not place the break",
          "send this report to support"};
}

std::pair<std::string, std::string> FindingWords(const Finding& f, const Conclusion& c) {
  const std::size_t endpoints = c.endpoints;
  switch (f.code) {
    case ConclusionCode::AllOpen:
      return {Format(text::kConclusionAllOpen, static_cast<int>(endpoints)), text::kAdviceAllOpen};
    case ConclusionCode::NoNetwork:
      return {Format(text::kConclusionNoNetwork, DottedIPv4(f.address).c_str()), text::kAdviceNoNetwork};
    case ConclusionCode::LocalNetwork:
      return {Format(text::kConclusionLocalNetwork, DottedIPv4(f.address).c_str()),
              text::kAdviceLocalNetwork};
    case ConclusionCode::Dns: {
      const std::string servers = ServerList(c.dnsServers);
      return {Format(text::kConclusionDns, JoinNames(f.names).c_str()),
              Format(text::kAdviceDnsFormat, servers.empty() ? "-" : servers.c_str())};
    }
    case ConclusionCode::InternetPath: {
      const std::string router = DottedIPv4(f.router);
      return {f.router == 0 ? std::string(text::kConclusionPathUnknown)
                            : Format(f.reported ? text::kConclusionPathReportFormat
                                                : text::kConclusionPathSilentFormat,
                                     f.ttl, router.c_str()),
              text::kAdviceInternetPath};
    }
    case ConclusionCode::BrokerHost:
      return {Format(text::kConclusionBrokerHost, JoinNames(f.names).c_str()), text::kAdviceBrokerHost};
    case ConclusionCode::Proxy:
      if (f.proxyOnly)
        return {Format(text::kConclusionProxyOnly, f.proxyName.c_str()), text::kAdviceProxyOnly};
      return {Format(f.proxyBroken ? text::kConclusionProxyBroken : text::kConclusionProxyFails,
                     f.proxyName.c_str()),
              text::kAdviceProxyFails};
    case ConclusionCode::Configuration:
      return {Format(text::kConclusionConfiguration, ConfigurationWords(f).c_str()),
              text::kAdviceConfiguration};
    case ConclusionCode::Several:
    case ConclusionCode::Unplaced:
      break;
  }
  return {text::kConclusionUnplaced, text::kAdviceUnplaced};
}

// Text and advice of the whole conclusion through `render` (English or Chinese).
template <typename Render>
std::pair<std::string, std::string> Rendered(const Conclusion& c, Render render,
                                             const char* severalFormat, const char* separator) {
  if (c.findings.size() <= 1) {
    Finding only;
    only.code = c.code;
    return render(c.findings.empty() ? only : c.findings.front());
  }
  std::string list;
  for (const Finding& finding : c.findings) {
    if (!list.empty()) list += separator;
    list += render(finding).first;
  }
  return {Format(severalFormat, list.c_str()), render(c.findings.front()).second};
}

}  // namespace

const char* ConclusionCodeName(ConclusionCode code) {
  switch (code) {
    case ConclusionCode::AllOpen: return "all_open";
    case ConclusionCode::NoNetwork: return "no_network";
    case ConclusionCode::LocalNetwork: return "local_network";
    case ConclusionCode::Dns: return "dns";
    case ConclusionCode::InternetPath: return "internet_path";
    case ConclusionCode::BrokerHost: return "broker_host";
    case ConclusionCode::Proxy: return "proxy";
    case ConclusionCode::Configuration: return "configuration";
    case ConclusionCode::Several: return "several";
    case ConclusionCode::Unplaced: break;
  }
  return "unplaced";
}

ConfigurationFacts ReadConfigurationFacts(const HostCatalogue& catalogue,
                                          const std::optional<ProxyRoute>& proxy) {
  ConfigurationFacts facts;
  facts.noHosts = catalogue.empty();
  facts.locationListCut = catalogue.locationListCut;
  if (proxy)
    if (auto problem = RouteProblem(*proxy)) facts.proxyProblem = *problem;
  return facts;
}

NetworkFacts ReadNetworkFacts() {
  NetworkFacts network;
  network.routes = MachineIPv4Routes();
  network.dnsServers = MachineDnsServers();
  for (const Ipv4Route& route : network.routes)
    if (route.mask == 0 && route.gateway != 0) {
      network.gateway = route.gateway;
      break;
    }
  return network;
}

std::optional<uint32_t> RouteGateway(const NetworkFacts& network, uint32_t address) {
  if (IsLoopback(address)) return 0u;
  if (network.routes.empty()) return network.gateway.value_or(0u);
  const Ipv4Route* best = nullptr;
  for (const Ipv4Route& route : network.routes)
    if ((address & route.mask) == (route.destination & route.mask) &&
        (best == nullptr || PrefixLength(route.mask) > PrefixLength(best->mask)))
      best = &route;
  if (best == nullptr) return std::nullopt;
  return best->gateway;
}

void ProbeGateway(NetworkFacts& network, const CheckReport& report, EchoService& echo,
                  uint32_t timeoutMs, const StopFlag* stop) {
  if (!network.gateway || !report.icmpAvailable) return;
  const bool throughIt = std::any_of(
      report.endpoints.begin(), report.endpoints.end(), [&](const EndpointResult& endpoint) {
        return (endpoint.verdict == Verdict::Timeout || endpoint.verdict == Verdict::Unreachable) &&
               endpoint.address && RouteGateway(network, *endpoint.address) == network.gateway;
      });
  if (!throughIt || (stop != nullptr && stop->load())) return;
  std::vector<EchoRequest> requests{{*network.gateway, 0}};
  std::vector<EchoResult> answers(1);
  if (!echo.SendEchoBatch(requests, answers, timeoutMs, stop)) return;
  network.gatewayEchoed = true;
  network.gatewayAnswered = answers[0].errorCode == 0 && answers[0].replyAddress == *network.gateway;
  network.gatewayMs = network.gatewayAnswered ? answers[0].roundTripMs : 0;
}

Conclusion Conclude(const CheckReport& report, const std::vector<ProxyResult>* proxied,
                    const std::optional<ProxyRoute>& proxy, const ConfigurationFacts& configuration,
                    const NetworkFacts& network) {
  Conclusion conclusion;
  Findings findings;
  bool unplaced = false;
  if (configuration.noHosts) findings.At(ConclusionCode::Configuration).noHosts = true;
  if (configuration.locationListCut) findings.At(ConclusionCode::Configuration).listCut = true;
  if (!configuration.proxyProblem.empty())
    findings.At(ConclusionCode::Configuration).proxyValues = true;

  bool directFails = false;
  for (const EndpointResult& endpoint : report.endpoints) {
    if (endpoint.verdict != Verdict::Open) directFails = true;
    PlaceEndpoint(endpoint, report, network, findings, unplaced);
  }
  // A silent gateway explains nothing while some endpoint behind it is open.
  if (findings.Has(ConclusionCode::LocalNetwork))
    for (const EndpointResult& endpoint : report.endpoints)
      if (endpoint.verdict == Verdict::Open && endpoint.address &&
          RouteGateway(network, *endpoint.address) == network.gateway) {
        findings.Drop(ConclusionCode::LocalNetwork);
        unplaced = true;
        break;
      }

  // The proxied road against the direct one, over the endpoints both tried.
  if (proxied != nullptr && proxy && configuration.proxyProblem.empty()) {
    bool tried = false, directOpen = true, proxiedOpen = true, proxyItself = true;
    for (std::size_t i = 0; i < report.endpoints.size() && i < proxied->size(); ++i) {
      const EndpointResult& endpoint = report.endpoints[i];
      if (endpoint.host.empty() || !UsablePort(endpoint.port)) continue;
      tried = true;
      const ProxyVerdict verdict = (*proxied)[i].verdict;
      if (endpoint.verdict != Verdict::Open) directOpen = false;
      if (verdict != ProxyVerdict::OpenViaProxy) proxiedOpen = false;
      if (!ProxyItselfFails(verdict)) proxyItself = false;
    }
    Finding finding;
    finding.code = ConclusionCode::Proxy;
    const char* type = ProxyTypeName(proxy->type);
    finding.proxyName = Format("%s %s:%s", type != nullptr ? type : "?", proxy->host.c_str(),
                               proxy->port.c_str());
    if (tried && directOpen && !proxiedOpen) {
      finding.proxyBroken = proxyItself;
      findings.At(ConclusionCode::Proxy) = finding;
    } else if (tried && !directOpen && proxiedOpen) {
      // The network lets out only the proxy: the direct failures are its rule.
      for (const ConclusionCode code :
           {ConclusionCode::NoNetwork, ConclusionCode::LocalNetwork, ConclusionCode::Dns,
            ConclusionCode::InternetPath, ConclusionCode::BrokerHost})
        findings.Drop(code);
      unplaced = false;
      finding.proxyOnly = true;
      findings.At(ConclusionCode::Proxy) = finding;
    } else if (tried && proxyItself) {
      finding.proxyBroken = true;
      findings.At(ConclusionCode::Proxy) = finding;
    }
    if (tried && !proxiedOpen) directFails = true;
  }

  // What a break nearer this PC explains further away.
  if (findings.Has(ConclusionCode::NoNetwork) || findings.Has(ConclusionCode::LocalNetwork)) {
    findings.Drop(ConclusionCode::InternetPath);
    findings.Drop(ConclusionCode::Dns);
  }
  if (findings.Has(ConclusionCode::NoNetwork)) findings.Drop(ConclusionCode::LocalNetwork);

  conclusion.findings = findings.InOrder();
  conclusion.interrupted = report.interrupted;
  if (report.interrupted) {
    conclusion.code = ConclusionCode::Unplaced;
    conclusion.findings.clear();
  } else if (conclusion.findings.size() > 1) {
    conclusion.code = ConclusionCode::Several;
  } else if (conclusion.findings.size() == 1) {
    conclusion.code = conclusion.findings.front().code;
  } else {
    conclusion.code = directFails || unplaced ? ConclusionCode::Unplaced : ConclusionCode::AllOpen;
  }
  conclusion.endpoints = report.endpoints.size();
  conclusion.dnsServers = network.dnsServers;
  if (conclusion.interrupted) {
    conclusion.text = "the check was interrupted before every endpoint had a verdict";
    conclusion.advice = "run the check again to its end";
  } else {
    std::tie(conclusion.text, conclusion.advice) = Rendered(
        conclusion, [&](const Finding& f) { return FindingText(f, conclusion); },
        "several breaks at once: %s", "; ");
  }
  return conclusion;
}

std::string ConclusionLine(const Conclusion& conclusion) {
  return "conclusion: " + conclusion.text + "; next step: " + conclusion.advice;
}

std::string ConclusionWords(const Conclusion& conclusion) {
  if (conclusion.interrupted)
    return Format(text::kConclusionLineFormat, text::kConclusionInterrupted, text::kAdviceInterrupted);
  const auto [words, advice] = Rendered(
      conclusion, [&](const Finding& f) { return FindingWords(f, conclusion); },
      text::kConclusionSeveral, text::kConclusionListSeparator);
  return Format(text::kConclusionLineFormat, words.c_str(), advice.c_str());
}

}  // namespace rk
