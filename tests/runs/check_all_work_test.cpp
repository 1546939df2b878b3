#include "runs/check_all_work.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/codepage.h"
#include "base/format.h"
#include "base/texts.h"
#include "runs/check_all_lines.h"
#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

struct NoEcho final : public EchoService {
  bool Initialize() override { return true; }
  int SendEcho(uint32_t, EchoResult&, int, uint32_t, int, int, const StopFlag*) override { return 0; }
};

// The result list: lines from whichever thread writes them, and whether two
// ever wrote at once.
struct Lines {
  LineWriter Writer() {
    return [this](std::string line) {
      if (busy.exchange(true)) overlapped = true;
      std::this_thread::sleep_for(1ms);
      {
        std::lock_guard lock(m);
        shown.push_back(std::move(line));
      }
      busy = false;
    };
  }
  std::mutex m;
  Strings shown;
  std::atomic<bool> busy{false};
  std::atomic<bool> overlapped{false};
};

ProxyRoute Socks5(int port) {
  return {4, "127.0.0.1", std::to_string(port), "", "", "C:\\client\\Bin\\BaseConfig.ini"};
}

// A server entry on two ports (one listening, one refusing), a Local entry on the listening
// port, and one without a port.
HostCatalogue Client(int open, int refused, const std::string& name = "127.0.0.1") {
  return {{"127.0.0.1", name, "127.0.0.1"},
          {"S : 127.0.0.1", "L1 : " + name, "L2 : 127.0.0.1"},
          {open, refused},
          {open, 0},
          1};
}

std::string Line(const std::string& label, int port, const char* verdict, const char* proxied) {
  std::string head = Format("%s  127.0.0.1:%d  %s  ", label.c_str(), port, verdict);
  return proxied ? head + "|" + Format(text::kViaProxyFormat, proxied) : head;
}

// The line without its time, for comparison: "label  address:port  verdict  " + "|" + proxied part.
std::string WithoutTime(const std::string& line) {
  const std::string ms = "\xB2\x40\xAC\xED";  // 毫秒
  const auto at = line.find(ms);
  if (at == std::string::npos) return line;
  const auto start = line.rfind("  ", at) + 2;
  return line.substr(0, start) + "|" + line.substr(at + ms.size());
}

// Each endpoint's line carries the verdict through the proxy; the attempts run while the
// direct check runs (the look-up of the check waits for them to begin); an endpoint without a
// port is not tried and keeps its line; the proxy's reasons join the causes; what was found
// is handed back with the proxied verdicts in the endpoints' order.
TEST(CheckAllWork, EachLineGivesTheProxiedVerdictAndTheAttemptsRunAlongside) {
  testing::LoopbackListener listener;
  const int open = listener.port(), refused = testing::ClosedLoopbackPort();
  std::atomic<bool> attemptsBegan{false};
  struct GateResolver final : NameResolver {
    explicit GateResolver(std::atomic<bool>& began) : began_(began) {}
    std::optional<uint32_t> FirstIPv4(const std::string&) override {
      for (int i = 0; i < 300 && !began_.load(); ++i) std::this_thread::sleep_for(10ms);
      sawAttempts = began_.load();
      return testing::Ip(127, 0, 0, 1);
    }
    std::atomic<bool>& began_;
    std::atomic<bool> sawAttempts{false};
  } resolver(attemptsBegan);

  std::vector<ProxyTarget> tried;
  NoEcho echo;
  CheckOptions options;
  options.diagnose = false;
  options.connectTimeoutMs = 2000;
  CheckAllSetup setup{resolver, echo, options, Socks5(1080),
                      [&](const std::vector<ProxyTarget>& targets,
                          const ProxyConnector::ResultCallback& onResult, const StopFlag*) {
                        attemptsBegan = true;
                        tried = targets;
                        std::vector<ProxyResult> results;
                        for (std::size_t k = 0; k < targets.size(); ++k) {
                          const bool ok = targets[k].port == open;
                          results.push_back({ok ? ProxyVerdict::OpenViaProxy
                                                : ProxyVerdict::ProxyRefusedTarget,
                                             ok ? "" : "SOCKS5 5: connection refused", "", 1.0});
                          onResult(k, results.back());
                        }
                        return results;
                      }};
  Lines lines;
  StopFlag stop{false};
  const std::optional<CheckRun> run =
      RunCheckAll(Client(open, refused, "gate.invalid"), setup, lines.Writer(), stop);
  ASSERT_TRUE(run.has_value());
  EXPECT_TRUE(resolver.sawAttempts) << "the proxied attempts began while the check looked up";
  EXPECT_FALSE(lines.overlapped) << "two threads wrote a line at once";

  const std::string ok = text::kVerdictOpen;
  Strings firsts;
  for (std::size_t i = 0; i < 4 && i < lines.shown.size(); ++i) firsts.push_back(WithoutTime(lines.shown[i]));
  std::sort(firsts.begin(), firsts.end());
  Strings expected = {
      Line("S : 127.0.0.1", open, ok.c_str(), ok.c_str()),
      Line("S : 127.0.0.1", refused, text::kVerdictRefused, text::kProxyVerdictRefusedTarget),
      Line("L1 : gate.invalid", open, ok.c_str(), ok.c_str()),
      Format(text::kCheckNoPortLineFormat, "L2 : 127.0.0.1", "127.0.0.1", text::kVerdictNoPort)};
  // The Local entry that was looked up shows the address it resolved to.
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(firsts, expected);

  EXPECT_EQ(tried.size(), 3u) << "the entry without a port is not tried";
  for (const ProxyTarget& target : tried) EXPECT_NE(target.port, 0);
  EXPECT_TRUE(std::any_of(tried.begin(), tried.end(),
                          [](const ProxyTarget& t) { return t.host == "gate.invalid"; }))
      << "the proxy is given the name as configured";
  const std::string proxyCause =
      Format(text::kCheckProxyCauseFormat, "127.0.0.1", refused, "SOCKS5 5: connection refused");
  EXPECT_EQ(std::count(lines.shown.begin(), lines.shown.end(), proxyCause), 1);
  EXPECT_EQ(lines.shown.back().rfind(std::string(text::kCheckSummaryFormat).substr(0, 8), 0), 0u);

  ASSERT_TRUE(run->proxy.has_value());
  ASSERT_EQ(run->proxied.size(), run->report.endpoints.size());
  for (std::size_t i = 0; i < run->proxied.size(); ++i) {
    const EndpointResult& endpoint = run->report.endpoints[i];
    const ProxyVerdict want = endpoint.port == 0        ? ProxyVerdict::Error
                              : endpoint.port == open ? ProxyVerdict::OpenViaProxy
                                                      : ProxyVerdict::ProxyRefusedTarget;
    EXPECT_EQ(run->proxied[i].verdict, want) << i;
  }
}

// Against a real connector on loopback: a proxy port that refuses gives every tried endpoint
// "無法連上代理" at once; a proxy that never answers is left when the run is stopped, soon,
// with no closing lines; without a proxy the lines are the direct ones alone.
TEST(CheckAllWork, RealConnectorRefusedProxyStoppedRunAndNoProxy) {
  testing::LoopbackListener listener;
  testing::LoopbackListener silentProxy;
  const int open = listener.port(), refused = testing::ClosedLoopbackPort();
  testing::FakeResolver resolver;
  NoEcho echo;
  CheckOptions options;
  options.diagnose = false;
  options.connectTimeoutMs = 2000;
  const std::string summary = std::string(text::kCheckSummaryFormat).substr(0, 8);

  {
    const ProxyRoute route = Socks5(testing::ClosedLoopbackPort());
    CheckAllSetup setup{resolver, echo, options, route, ConnectorAttempts(route, resolver, 2000)};
    Lines lines;
    StopFlag stop{false};
    const auto start = Clock::now();
    ASSERT_TRUE(RunCheckAll(Client(open, refused), setup, lines.Writer(), stop).has_value());
    EXPECT_LT(Clock::now() - start, 1500ms);
    const std::string unreachable = Format(text::kViaProxyFormat, text::kProxyVerdictUnreachable);
    EXPECT_EQ(std::count_if(lines.shown.begin(), lines.shown.end(),
                            [&](const std::string& l) { return l.ends_with(unreachable); }),
              3);
    EXPECT_EQ(lines.shown.back().rfind(summary, 0), 0u);
  }
  {
    const ProxyRoute route = Socks5(silentProxy.port());
    CheckAllSetup setup{resolver, echo, options, route, ConnectorAttempts(route, resolver, 10000)};
    Lines lines;
    StopFlag stop{false};
    std::thread stopper([&stop] {
      std::this_thread::sleep_for(300ms);
      stop = true;
    });
    const auto start = Clock::now();
    EXPECT_FALSE(RunCheckAll(Client(open, refused), setup, lines.Writer(), stop).has_value());
    stopper.join();
    EXPECT_LT(Clock::now() - start, 1500ms) << "the 10 s proxied waits end at the stop";
    for (const std::string& line : lines.shown) {
      EXPECT_NE(line.rfind(summary, 0), 0u) << "no summary after a stop";
      EXPECT_EQ(line.find(text::kVerdictTimeout), std::string::npos) << line;
    }
  }
  {
    CheckAllSetup setup{resolver, echo, options, std::nullopt, {}};
    Lines lines;
    StopFlag stop{false};
    const std::optional<CheckRun> run = RunCheckAll(Client(open, refused), setup, lines.Writer(), stop);
    ASSERT_TRUE(run.has_value());
    EXPECT_FALSE(run->proxy.has_value());
    EXPECT_TRUE(run->proxied.empty());
    const std::string via = std::string(text::kViaProxyFormat).substr(0, 4);
    for (const std::string& line : lines.shown) EXPECT_EQ(line.find(via), std::string::npos) << line;
    // Endpoints, the conclusion, two causes (refused, no port), summary.
    ASSERT_EQ(lines.shown.size(), 4u + 1u + 2u + 1u);
    EXPECT_EQ(lines.shown[4], ConclusionWords(*run->conclusion));
  }
  {
    Lines lines;
    StopFlag stop{false};
    CheckAllSetup setup{resolver, echo, options, std::nullopt, {}};
    EXPECT_FALSE(RunCheckAll(HostCatalogue{}, setup, lines.Writer(), stop).has_value());
    ASSERT_EQ(lines.shown.size(), 2u) << "the conclusion, then the list's own word";
    EXPECT_EQ(lines.shown[1], text::kNoHostsToCheck);
  }
}

}  // namespace
}  // namespace rk
