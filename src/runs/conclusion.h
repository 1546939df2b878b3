#pragma once
// The one conclusion a check opens with: where the road from this PC to the
// broker's hosts breaks, and the next step, from a fixed set of places. It is
// read from the check's report, the verdicts through the stored proxy, the
// configuration and the machine's routes; it sends nothing itself but the
// gateway's echo (ProbeGateway).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/host_catalogue.h"
#include "probes/icmp_echo.h"
#include "probes/machine_facts.h"
#include "probes/proxy_connector.h"
#include "probes/stop_flag.h"
#include "runs/reachability_check.h"

namespace rk {

// The places, in the order a list of several names them. The JSON codes are
// ConclusionCodeName's: all_open, no_network, local_network, dns,
// internet_path, broker_host, proxy, configuration, several, unplaced.
enum class ConclusionCode {
  AllOpen,
  NoNetwork,
  LocalNetwork,
  Dns,
  InternetPath,
  BrokerHost,
  Proxy,
  Configuration,
  Several,
  Unplaced,
};
[[nodiscard]] const char* ConclusionCodeName(ConclusionCode code);

// What the configuration says before anything is sent.
struct ConfigurationFacts {
  bool noHosts = false;          // the host list is empty
  bool locationListCut = false;  // the location list filled the profile buffer: its end is lost
  std::string proxyProblem;      // why the stored proxy (type 1..4) cannot be used; empty when it can
};
[[nodiscard]] ConfigurationFacts ReadConfigurationFacts(const HostCatalogue& catalogue,
                                                        const std::optional<ProxyRoute>& proxy);

// The machine's side of the road.
struct NetworkFacts {
  std::vector<Ipv4Route> routes;        // empty: not known (every route is then assumed)
  std::vector<std::string> dnsServers;  // as the system lists them
  std::optional<uint32_t> gateway;      // the default route's gateway, network byte order
  bool gatewayEchoed = false;           // an echo was sent to it (a failing endpoint's route goes there)
  bool gatewayAnswered = false;
  uint32_t gatewayMs = 0;
};
// The routes, DNS servers and default gateway of this machine (nothing sent).
[[nodiscard]] NetworkFacts ReadNetworkFacts();

// The gateway a packet to `address` leaves through: 0 for an address on a
// link of its own, nullopt when no route leads there. Loopback (127.0.0.0/8)
// is always 0. With no routes known, the default gateway is assumed.
[[nodiscard]] std::optional<uint32_t> RouteGateway(const NetworkFacts& network, uint32_t address);

// Echoes the default gateway once (within `timeoutMs`) when an endpoint that
// timed out or was unreachable has its route through it; never for loopback
// or on-link endpoints, so a check of loopback hosts sends nothing more.
void ProbeGateway(NetworkFacts& network, const CheckReport& report, EchoService& echo,
                  uint32_t timeoutMs, const StopFlag* stop);

// One place the break was found at, with what names it.
struct Finding {
  ConclusionCode code = ConclusionCode::Unplaced;
  std::vector<std::string> names;  // hosts as configured (code page 950), at most a few
  uint32_t address = 0;            // no_network: the target; local_network: the gateway
  int ttl = 0;                     // internet_path: the router's hop, 0 when not known
  uint32_t router = 0;             // internet_path: the router, 0 when not known
  bool reported = false;           // internet_path: the router said unreachable (else silent beyond it)
  bool proxyOnly = false;          // proxy: only the proxied road works (else only the direct one)
  bool proxyBroken = false;        // proxy: the proxy itself fails on both roads
  std::string proxyName;           // proxy: "TYPE host:port"
  // configuration:
  bool noHosts = false;
  std::size_t emptyHosts = 0;
  std::size_t noPorts = 0;  // entries without a port
  bool badPort = false;
  bool listCut = false;
  bool proxyValues = false;
};

struct Conclusion {
  ConclusionCode code = ConclusionCode::Unplaced;
  std::vector<Finding> findings;  // one per place (several: each of them, in code order)
  std::string text;               // English, ASCII but for configured host names
  std::string advice;             // English, the next step
  bool interrupted = false;       // the check was stopped: nothing better than unplaced is said
  std::size_t endpoints = 0;      // how many were checked
  std::vector<std::string> dnsServers;  // named in the DNS advice
};

// The conclusion of a check. `proxied` is parallel to the report's endpoints
// (nullptr when no proxy was tried); `proxy` names it.
[[nodiscard]] Conclusion Conclude(const CheckReport& report, const std::vector<ProxyResult>* proxied,
                                  const std::optional<ProxyRoute>& proxy,
                                  const ConfigurationFacts& configuration, const NetworkFacts& network);

// The CLI's line: "conclusion: TEXT; next step: ADVICE".
[[nodiscard]] std::string ConclusionLine(const Conclusion& conclusion);
// The window's line in Traditional Chinese (code page 950).
[[nodiscard]] std::string ConclusionWords(const Conclusion& conclusion);

}  // namespace rk
