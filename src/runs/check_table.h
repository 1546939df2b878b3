#pragma once
// The check of every endpoint as a text table (code page 950, like every
// system text): what `check` prints as verdicts arrive and what the support
// report holds after the fact. The window's own lines are check_all_lines.h.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/host_catalogue.h"
#include "probes/proxy_connector.h"
#include "runs/conclusion.h"
#include "runs/reachability_check.h"

namespace rk {

// One check of every endpoint and, when a proxy was tried, its verdicts.
struct CheckRun {
  CheckReport report;
  std::chrono::system_clock::time_point started;
  std::optional<ProxyRoute> proxy;   // the stored proxy the endpoints were tried through
  std::vector<ProxyResult> proxied;  // parallel to report.endpoints when `proxy` is set
  NetworkFacts network;              // the machine's routes, DNS servers and gateway echo
  std::optional<Conclusion> conclusion;
};

// The run's conclusion from what it found, the configuration and the
// machine's network facts (already in run.network).
void ConcludeRun(CheckRun& run, const ConfigurationFacts& configuration);

// The address, else the host as configured, else "-"; then the port as
// typed ("-" for none): "127.0.0.1:80" (code page 950).
[[nodiscard]] std::string EndpointText(const EndpointResult& endpoint);

// The proxy targets of a check's endpoints, in the endpoints' order.
[[nodiscard]] std::vector<ProxyTarget> ProxyTargets(const CheckReport& report);

// The heading of the proxied lines; `settingsPath` is given in the encoding
// the caller writes in.
[[nodiscard]] std::string ProxiedTableHeading(const ProxyRoute& route, std::string_view settingsPath);
// One proxied line, its columns as wide as the direct table's: index, label,
// host:port as configured, verdict, time, the proxy's reason.
[[nodiscard]] std::string ProxiedTableLine(std::size_t index, const std::string& label,
                                           const ProxyTarget& target, const ProxyResult& result,
                                           std::size_t labelWidth);
// The whole table after the fact (the label column as wide as the longest
// label of its endpoints, within 12..48 columns, a two-byte code page 950
// character taking two and a longer label cut at a character's end): the
// conclusion line,
// heading, every endpoint in catalogue order, the proxied lines when a proxy
// was tried (their heading names the settings file as `settingsPath` gives
// it), then the causes (one per endpoint that is not open, naming its address
// or else its host) and the summary (with a proxy, the proxied verdicts
// counted after the direct ones).
[[nodiscard]] std::vector<std::string> CheckTextLines(const CheckRun& run,
                                                      std::string_view settingsPath = {});

}  // namespace rk
