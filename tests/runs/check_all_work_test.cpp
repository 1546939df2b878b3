#include "runs/check_all_work.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using namespace std::chrono_literals;

ProxyRoute Socks5(int port) {
  return {4, "127.0.0.1", std::to_string(port), "", "", "C:\\client\\Bin\\BaseConfig.ini"};
}

// A server entry on two ports (one listening, one refusing), a Local entry on
// the listening port, and one without a port.
HostCatalogue Client(int open, int refused, const std::string& name) {
  return {{"127.0.0.1", name, "127.0.0.1"},
          {"S : 127.0.0.1", "L1 : " + name, "L2 : 127.0.0.1"},
          {open, refused},
          {open, 0},
          1};
}

// The proxied attempts run while the direct check runs (its look-up waits for
// them to begin); every verdict reaches the slot of its endpoint, and the
// entry without a port is not tried through the proxy.
TEST(CheckAllWork, DirectAndProxiedVerdictsReachTheirSlotsWhileBothRun) {
  testing::LoopbackListener listener;
  const int open = listener.port(), refused = testing::ClosedLoopbackPort();
  struct GateResolver final : NameResolver {
    std::optional<uint32_t> FirstIPv4(const std::string&) override {
      for (int i = 0; i < 300 && !attemptsBegan.load(); ++i) std::this_thread::sleep_for(10ms);
      sawAttempts = attemptsBegan.load();
      return testing::Ip(127, 0, 0, 1);
    }
    std::atomic<bool> attemptsBegan{false}, sawAttempts{false};
  } resolver;
  testing::CannedEcho echo;
  const CheckOptions options{.diagnose = false};
  std::vector<ProxyTarget> tried;
  CheckAllSetup setup{resolver, echo, options, Socks5(1080),
                      [&](const std::vector<ProxyTarget>& targets,
                          const ProxyConnector::ResultCallback& onResult, const StopFlag*) {
                        resolver.attemptsBegan = true;
                        tried = targets;
                        std::vector<ProxyResult> results;
                        for (std::size_t k = 0; k < targets.size(); ++k) {
                          const bool ok = targets[k].port == open;
                          results.push_back({ok ? ProxyVerdict::OpenViaProxy : ProxyVerdict::ProxyRefusedTarget,
                                             "", "", 1.0});
                          onResult(k, results.back());
                        }
                        return results;
                      }};
  std::mutex m;
  std::vector<std::pair<std::size_t, int32_t>> direct;  // slot, port
  std::vector<std::size_t> proxied;                     // slots
  const std::vector<EndpointResult> slots = CheckEndpoints(Client(open, refused, "gate.invalid"));
  CheckEvents events{[&](std::size_t slot, const EndpointResult& e) {
                       std::lock_guard lock(m);
                       direct.emplace_back(slot, e.port);
                     },
                     [&](std::size_t slot, const ProxyResult&) {
                       std::lock_guard lock(m);
                       proxied.push_back(slot);
                     }};
  StopFlag stop{false};
  const CheckRun run = RunCheckEach(Client(open, refused, "gate.invalid"), setup, events, stop);
  EXPECT_TRUE(resolver.sawAttempts) << "the proxied attempts began while the check looked up";
  ASSERT_EQ(direct.size(), slots.size());
  for (const auto& [slot, port] : direct) EXPECT_EQ(port, slots[slot].port);
  std::sort(proxied.begin(), proxied.end());
  EXPECT_EQ(proxied, (std::vector<std::size_t>{0, 1, 2})) << "the entry without a port is not tried";
  ASSERT_EQ(tried.size(), 3u);
  EXPECT_EQ(tried[2].host, "gate.invalid") << "the proxy is given the name as configured";
  std::vector<ProxyVerdict> verdicts;
  for (const ProxyResult& result : run.proxied) verdicts.push_back(result.verdict);
  EXPECT_EQ(verdicts, (std::vector<ProxyVerdict>{ProxyVerdict::OpenViaProxy, ProxyVerdict::ProxyRefusedTarget,
                                                 ProxyVerdict::OpenViaProxy, ProxyVerdict::Error}));
  EXPECT_TRUE(run.conclusion.has_value());
}

// A real connector to a proxy that never answers and a host that never accepts: the stop ends
// both 10 s waits, what had no verdict is interrupted, and the stopped run draws no conclusion.
TEST(CheckAllWork, AStopEndsTheDirectAndProxiedWaits) {
  testing::StalledListener stalled;
  ASSERT_TRUE(stalled.stalled());
  testing::LoopbackListener silentProxy;
  testing::FakeResolver resolver;
  testing::CannedEcho echo;
  const CheckOptions options{.diagnose = false};
  const ProxyRoute route = Socks5(silentProxy.port());
  CheckAllSetup setup{resolver, echo, options, route, ConnectorAttempts(route, resolver, 10000)};
  StopFlag stop{false};
  const testing::StopAfter stopper(stop, 300);
  const auto start = std::chrono::steady_clock::now();
  const CheckRun run =
      RunCheckEach(Client(stalled.port(), testing::ClosedLoopbackPort(), "127.0.0.1"), setup, {}, stop);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
  EXPECT_TRUE(run.report.interrupted);
  EXPECT_EQ(run.report.counts[static_cast<std::size_t>(Verdict::Interrupted)], 2u) << "one address:port";
  EXPECT_EQ(run.report.endpoints[1].verdict, Verdict::Refused);
  EXPECT_FALSE(run.conclusion.has_value());
}

}  // namespace
}  // namespace rk
