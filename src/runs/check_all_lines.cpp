#include "runs/check_all_lines.h"

#include <set>
#include <utility>

#include "base/format.h"
#include "base/texts.h"

namespace rk {

const char* VerdictWords(Verdict verdict) {
  switch (verdict) {
    case Verdict::Open: return text::kVerdictOpen;
    case Verdict::Refused: return text::kVerdictRefused;
    case Verdict::Timeout: return text::kVerdictTimeout;
    case Verdict::Unreachable: return text::kVerdictUnreachable;
    case Verdict::Unresolved: return text::kVerdictUnresolved;
    case Verdict::NoPort: return text::kVerdictNoPort;
    case Verdict::NoHost: return text::kVerdictNoHost;
    case Verdict::Interrupted: return text::kVerdictInterrupted;
    case Verdict::Error: break;
  }
  return text::kVerdictError;
}

const char* ProxyVerdictWords(ProxyVerdict verdict) {
  switch (verdict) {
    case ProxyVerdict::OpenViaProxy: return text::kVerdictOpen;
    case ProxyVerdict::ProxyUnreachable: return text::kProxyVerdictUnreachable;
    case ProxyVerdict::ProxyLoginRefused: return text::kProxyVerdictLoginRefused;
    case ProxyVerdict::ProxyRefusedTarget: return text::kProxyVerdictRefusedTarget;
    case ProxyVerdict::ProxyProtocolError: return text::kProxyVerdictProtocolError;
    case ProxyVerdict::Timeout: return text::kVerdictTimeout;
    case ProxyVerdict::Error: break;
  }
  return text::kProxyVerdictError;
}

namespace {

// The address, else the host as configured, else (no host at all) the label.
std::string AddressText(const EndpointResult& endpoint) {
  if (endpoint.address) return DottedIPv4(*endpoint.address);
  return endpoint.host.empty() ? endpoint.label : endpoint.host;
}

}  // namespace

std::vector<std::string> ClosingLines(const CheckReport& report,
                                      const std::vector<ProxyResult>* proxied,
                                      const Conclusion* conclusion) {
  std::vector<std::string> lines;
  if (conclusion != nullptr) lines.push_back(ConclusionWords(*conclusion));
  std::set<std::pair<std::string, int32_t>> named;
  for (const EndpointResult& endpoint : report.endpoints) {
    if (endpoint.cause.empty()) continue;
    if (!named.emplace(AddressText(endpoint), endpoint.port).second) continue;
    lines.push_back(Format(text::kCheckCauseFormat, AddressText(endpoint).c_str(), endpoint.port,
                           endpoint.cause.c_str()));
  }
  // The proxy is given the host as configured, so its lines name that.
  std::set<std::pair<std::string, int32_t>> namedViaProxy;
  for (std::size_t i = 0; proxied != nullptr && i < proxied->size() && i < report.endpoints.size();
       ++i) {
    const EndpointResult& endpoint = report.endpoints[i];
    const ProxyResult& result = (*proxied)[i];
    const bool tried = endpoint.port >= 1 && endpoint.port <= 65535;
    if (!tried || result.verdict == ProxyVerdict::OpenViaProxy || result.reason.empty()) continue;
    if (!namedViaProxy.emplace(endpoint.host, endpoint.port).second) continue;
    lines.push_back(Format(text::kCheckProxyCauseFormat, endpoint.host.c_str(), endpoint.port,
                           result.reason.c_str()));
  }
  std::string summary = Format(text::kCheckSummaryFormat, static_cast<int>(report.endpoints.size()));
  bool first = true;
  for (size_t i = 0; i < kVerdictCount; ++i) {
    if (report.counts[i] == 0 && i != 0) continue;  // "open" is always counted, even at 0
    if (!first) summary += text::kListComma;
    first = false;
    summary += Format(text::kCheckCountFormat, VerdictWords(static_cast<Verdict>(i)),
                      static_cast<int>(report.counts[i]));
  }
  lines.push_back(std::move(summary));
  return lines;
}

}  // namespace rk
