#include "runs/conclusion.h"

#include <gtest/gtest.h>

#include "base/texts.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Ip;

const uint32_t kGateway = Ip(192, 0, 2, 1);
const uint32_t kBroker = Ip(203, 0, 113, 5);

// This PC on 192.0.2.0/24 with its default route through 192.0.2.1.
NetworkFacts Lan() {
  NetworkFacts network;
  network.routes = {{Ip(192, 0, 2, 0), Ip(255, 255, 255, 0), 0}, {0, 0, kGateway}};
  network.gateway = kGateway;
  network.dnsServers = {"192.0.2.53"};
  return network;
}

EndpointResult At(Verdict verdict, std::optional<uint32_t> address = kBroker,
                  std::string host = "broker.test", int32_t port = 443) {
  EndpointResult endpoint;
  endpoint.host = std::move(host), endpoint.address = address, endpoint.port = port, endpoint.verdict = verdict;
  return endpoint;
}

AddressDiagnosis Path(uint32_t address, std::vector<uint32_t> routers, bool echo = false) {
  AddressDiagnosis diagnosis;
  diagnosis.address = address;
  diagnosis.echoAnswered = echo;
  for (std::size_t i = 0; i < routers.size(); ++i)
    diagnosis.path.hops.push_back({static_cast<int>(i) + 1, routers[i], 10});
  return diagnosis;
}

// Every place, each from the evidence that names it, what the line says and the next step it gives.
TEST(Conclusion, PlacesTheBreakFromTheEvidenceAndNamesItsNextStep) {
  constexpr int kNoHosts = 1, kListCut = 2;
  struct Case {
    const char* name;
    std::vector<EndpointResult> endpoints;
    std::vector<AddressDiagnosis> addresses;
    std::vector<ProxyVerdict> proxied;  // parallel to endpoints; empty: no proxy tried
    int configuration;  // kNoHosts, kListCut
    NetworkFacts network;
    ConclusionCode code;
    const char* text;
    const char* advice;
    bool interrupted = false;
  };
  NetworkFacts noDefault = Lan();
  noDefault.routes.pop_back();
  noDefault.gateway.reset();
  NetworkFacts silentGateway = Lan();
  silentGateway.gatewayEchoed = true;
  NetworkFacts answeringGateway = silentGateway;
  answeringGateway.gatewayAnswered = true;
  EndpointResult reported = At(Verdict::Unreachable);
  reported.reporter = Ip(198, 51, 100, 2);
  EndpointResult unresolved = At(Verdict::Unresolved, std::nullopt);
  const char* const support = "send this report to support";
  const char* const path = "the break is beyond this PC's network";
  const char* const broker = "ask the broker whether the service is up";
  const char* const dns = "check the DNS servers (192.0.2.53)";
  const std::vector<Case> cases = {
      {"all open", {At(Verdict::Open), At(Verdict::Open)}, {}, {}, 0, Lan(), ConclusionCode::AllOpen,
       "every endpoint is open (2)", "nothing to fix on the road"},
      {"no default route", {At(Verdict::Timeout)}, {}, {}, 0, noDefault, ConclusionCode::NoNetwork,
       "this PC has no network: no route or address to reach 203.0.113.5", "connect the network cable"},
      {"silent gateway", {At(Verdict::Timeout)}, {Path(kBroker, {})}, {}, 0, silentGateway,
       ConclusionCode::LocalNetwork, "the local network: the gateway 192.0.2.1 does not answer",
       "check the cable or Wi-Fi to the router"},
      {"a silent gateway with an open endpoint behind it places nothing",
       {At(Verdict::Timeout), At(Verdict::Open, Ip(198, 51, 100, 9))}, {Path(kBroker, {})}, {}, 0,
       silentGateway, ConclusionCode::Unplaced, "some endpoints are not open", support},
      {"a look-up failed, whatever its kind", {unresolved}, {}, {}, 0, Lan(), ConclusionCode::Dns,
       "DNS: broker.test does not resolve", dns},
      {"silent beyond a router", {At(Verdict::Timeout)},
       {Path(kBroker, {kGateway, Ip(198, 51, 100, 2)})}, {}, 0, answeringGateway,
       ConclusionCode::InternetPath, "the internet path: no answer beyond router 2 (198.51.100.2)", path},
      {"a router reports it unreachable", {reported}, {Path(kBroker, {kGateway, Ip(198, 51, 100, 2)})},
       {}, 0, Lan(), ConclusionCode::InternetPath,
       "the internet path: router 2 (198.51.100.2) says the host is unreachable", path},
      {"the host answers echo, its port is filtered", {At(Verdict::Timeout)},
       {Path(kBroker, {kGateway}, true)}, {}, 0, Lan(), ConclusionCode::BrokerHost,
       "the broker's host: broker.test is reached, but its ports are refused or filtered", broker},
      {"refused", {At(Verdict::Refused), At(Verdict::Open)}, {}, {}, 0, Lan(),
       ConclusionCode::BrokerHost, "the broker's host: broker.test is reached", broker},
      {"direct works, the proxy does not", {At(Verdict::Open)}, {},
       {ProxyVerdict::ProxyRefusedTarget}, 0, Lan(), ConclusionCode::Proxy,
       "the proxy: direct connections work, through the stored proxy SOCKS5 192.0.2.8:1080 they fail",
       "check the proxy's address, port and login"},
      {"only the proxy works", {At(Verdict::Timeout)}, {Path(kBroker, {kGateway})},
       {ProxyVerdict::OpenViaProxy}, 0, answeringGateway, ConclusionCode::Proxy,
       "the proxy: connections work only through the stored proxy SOCKS5 192.0.2.8:1080",
       "keep the proxy settings"},
      {"configuration", {At(Verdict::NoHost, std::nullopt, ""), At(Verdict::NoPort, kBroker, "b", 0)},
       {}, {}, kListCut, Lan(), ConclusionCode::Configuration,
       "the configuration: 1 entry without a host, 1 entry without a port, the location list "
       "cut at 259 bytes", "correct the client's configuration files"},
      {"no hosts", {}, {}, {}, kNoHosts, Lan(), ConclusionCode::Configuration,
       "the configuration: no hosts", "correct the client's configuration files"},
      {"several: the nearest break's next step",
       {unresolved, At(Verdict::Refused, Ip(198, 51, 100, 7), "quote.test")}, {}, {}, 0, Lan(),
       ConclusionCode::Several,
       "several breaks at once: DNS: broker.test does not resolve; the broker's host: quote.test", dns},
      {"a look-up and the path fail at once: neither explains the other",
       {unresolved, At(Verdict::Timeout, kBroker, "quote.test")},
       {Path(kBroker, {kGateway, Ip(198, 51, 100, 2)})}, {}, 0, answeringGateway, ConclusionCode::Several,
       "several breaks at once: DNS: broker.test does not resolve; the internet path: no answer beyond",
       dns},
      {"nothing says where", {At(Verdict::Error)}, {}, {}, 0, Lan(), ConclusionCode::Unplaced,
       "some endpoints are not open, and the check could not place the break", support},
      {"a stopped check places nothing", {At(Verdict::Interrupted), At(Verdict::Refused)}, {}, {}, 0, Lan(),
       ConclusionCode::Unplaced, "the check was interrupted before every endpoint had a verdict",
       "run the check again to its end", true},
  };
  const ProxyRoute proxy{4, "192.0.2.8", "1080", "", "", ""};
  for (const Case& c : cases) {
    CheckReport report;
    report.endpoints = c.endpoints;
    report.addresses = c.addresses;
    report.interrupted = c.interrupted;
    std::vector<ProxyResult> proxied;
    for (const ProxyVerdict verdict : c.proxied) proxied.push_back({verdict, "", "", 0});
    ConfigurationFacts configuration;
    configuration.noHosts = (c.configuration & kNoHosts) != 0;
    configuration.locationListCut = (c.configuration & kListCut) != 0;
    const Conclusion conclusion =
        Conclude(report, c.proxied.empty() ? nullptr : &proxied,
                 c.proxied.empty() ? std::nullopt : std::optional<ProxyRoute>(proxy), configuration,
                 c.network);
    EXPECT_STREQ(ConclusionCodeName(conclusion.code), ConclusionCodeName(c.code)) << c.name;
    EXPECT_EQ(conclusion.text.rfind(c.text, 0), 0u) << c.name << ": " << conclusion.text;
    EXPECT_EQ(conclusion.advice.rfind(c.advice, 0), 0u) << c.name << ": " << conclusion.advice;
    // The window's line is its own wording, wholly formatted, with no English in it.
    const std::string words = ConclusionWords(conclusion);
    EXPECT_EQ(words.find('%'), std::string::npos) << c.name;
    EXPECT_EQ(words.find("the "), std::string::npos) << c.name;
  }
}

// The gateway is echoed only for a failing endpoint whose route goes through
// it: never for loopback or on-link endpoints, never for open ones.
TEST(Conclusion, GatewayIsEchoedOnlyForAFailureRoutedThroughIt) {
  struct Case {
    EndpointResult endpoint;
    bool echoed;
  };
  for (const Case& c : {Case{At(Verdict::Timeout, Ip(127, 0, 0, 1)), false},
                        Case{At(Verdict::Timeout, Ip(192, 0, 2, 40)), false},
                        Case{At(Verdict::Open), false}, Case{At(Verdict::Refused), false},
                        Case{At(Verdict::Unreachable), true}, Case{At(Verdict::Timeout), true}}) {
    NetworkFacts network = Lan();
    CheckReport report;
    report.endpoints = {c.endpoint};
    testing::CannedEcho echo;
    ProbeGateway(network, report, echo, 100, nullptr);
    EXPECT_EQ(network.gatewayEchoed, c.echoed) << VerdictName(c.endpoint.verdict);
    EXPECT_EQ(echo.sent, c.echoed ? std::vector<uint32_t>{kGateway} : std::vector<uint32_t>{});
    EXPECT_FALSE(network.gatewayAnswered);
  }
  // Without a routing table loopback still never goes to the gateway.
  NetworkFacts unknown;
  unknown.gateway = kGateway;
  EXPECT_EQ(RouteGateway(unknown, Ip(127, 0, 0, 9)), 0u);
  EXPECT_EQ(RouteGateway(unknown, kBroker), kGateway);
}

}  // namespace
}  // namespace rk
