#include "probes/proxy_connector.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Clock;
using testing::ClosedLoopbackPort;
using testing::FakeResolver;
using testing::Ip;
using testing::LoopbackListener;
using testing::MsSince;

ProxyRoute Route(int32_t type, std::string host, std::string port, std::string user = "",
                 std::string password = "") {
  return ProxyRoute{type, std::move(host), std::move(port), std::move(user), std::move(password),
                    "C:\\client\\Bin\\BaseConfig.ini"};
}

TEST(ProxyConnector, EachTypeTakesItsOwnFamilyOfKeys) {
  ProxySettings stored{0, "http-host", "3128", "hu", "hp", "socks-host", "1080", "su", "sp"};
  using Keys = std::tuple<int32_t, std::string, std::string, std::string, std::string, std::string>;
  const Keys rows[] = {  // type, host, port, login, the file
      {1, "http-host", "3128", "hu", "hp", "f"}, {2, "socks-host", "1080", "", "", "f"},  // SOCKS4: no login
      {3, "socks-host", "1080", "", "", "f"}, {4, "socks-host", "1080", "su", "sp", "f"},
      {0, "", "", "", "", "f"}, {7, "", "", "", "", "f"}};
  for (const Keys& keys : rows) {
    stored.m_nProxyType = std::get<0>(keys);
    const ProxyRoute route = RouteFromSettings(stored, "f");
    EXPECT_EQ(std::tie(route.type, route.host, route.port, route.user, route.password, route.settingsPath), keys);
  }
}

TEST(ProxyConnector, StoredValuesThatCannotBeUsedAreErrorsWithoutAnyTraffic) {
  const struct { ProxyRoute route; ProxyTarget target; const char* reason; } cases[] = {
      {Route(0, "127.0.0.1", "1080"), {"192.0.2.10", 80}, "type 0"},
      {Route(2, "", "1080"), {"192.0.2.10", 80}, "host is empty"},
      {Route(4, "127.0.0.1", ""), {"192.0.2.10", 80}, "port \"\""},
      {Route(1, "127.0.0.1", "65536"), {"192.0.2.10", 80}, "65536"},
      {Route(1, "127.0.0.1", "080x"), {"192.0.2.10", 80}, "080x"},
      {Route(1, "127.0.0.1", "0000080000"), {"192.0.2.10", 80}, "0000080000"},
      {Route(4, "127.0.0.1", "1080", std::string(256, 'u'), "p"), {"192.0.2.10", 80}, "255 bytes"},
      {Route(4, "127.0.0.1", "1080"), {"", 80}, "target host is empty"},
      {Route(4, "127.0.0.1", "1080"), {"192.0.2.10", 0}, "target port 0"},
      {Route(4, "127.0.0.1", "1080"), {std::string(256, 'n'), 80}, "255 bytes"},
      {Route(3, "127.0.0.1", "1080"), {std::string("a\0b", 3), 80}, "SOCKS4a"},
      {Route(2, "127.0.0.1", "1080"), {"no-such.example", 80}, "does not resolve"},
  };
  for (const auto& c : cases) {
    FakeResolver resolver;  // answers nothing
    const ProxyResult result = ProxyConnector(c.route, resolver, 200).Connect(c.target);
    EXPECT_EQ(result.verdict, ProxyVerdict::Error) << c.reason;
    EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
    EXPECT_EQ(result.settingsPath, "C:\\client\\Bin\\BaseConfig.ini");
    // Only a SOCKS4 target name is looked up, and only once the route is sound.
    const bool socks4Name = c.route.type == 2 && c.target.host == "no-such.example";
    EXPECT_EQ(resolver.asked, socks4Name ? std::vector<std::string>{"no-such.example"}
                                         : std::vector<std::string>{})
        << c.reason;
  }
  // Blanks around a stored port are allowed; a password never shows in a reason.
  EXPECT_EQ(RouteProblem(Route(1, "127.0.0.1", " 8080\t")), std::nullopt);
  EXPECT_EQ(RouteProblem(Route(4, "p", "1", std::string(255, 'u'), std::string(255, 'p'))),
            std::nullopt);
  FakeResolver resolver;
  const ProxyResult bad =
      ProxyConnector(Route(1, "127.0.0.1", "99999", "agent", "hunter2"), resolver).Connect({"h", 1});
  EXPECT_EQ(bad.reason.find("hunter2"), std::string::npos);
}

TEST(ProxyConnector, ProxyThatIsNotThereIsUnreachableWithTheCause) {
  FakeResolver resolver;
  resolver.Answer("proxy.test", Ip(127, 0, 0, 1));
  const std::string closed = std::to_string(ClosedLoopbackPort());
  for (const int32_t type : {1, 2, 3, 4}) {
    const ProxyResult named =
        ProxyConnector(Route(type, "proxy.test", closed), resolver, 3000).Connect({"192.0.2.10", 80});
    EXPECT_EQ(named.verdict, ProxyVerdict::ProxyUnreachable) << type;
#ifdef _WIN32
    // A refusal reaches the platform's wait only as a failure at its end.
    EXPECT_TRUE(named.reason.starts_with("refused") || named.reason.starts_with("timed out"))
        << named.reason;
#else
    EXPECT_TRUE(named.reason.starts_with("refused")) << named.reason;
#endif
    EXPECT_NE(named.reason.find("127.0.0.1:" + closed), std::string::npos) << named.reason;
  }
  const ProxyResult unnamed =
      ProxyConnector(Route(4, "gone.test", "1080"), resolver).Connect({"192.0.2.10", 80});
  EXPECT_EQ(unnamed.verdict, ProxyVerdict::ProxyUnreachable);
  EXPECT_NE(unnamed.reason.find("gone.test does not resolve"), std::string::npos);
}

// A proxy that takes connections and never says a word, at the real time-out (natively; 3 s
// where sockets are slowed): fifty targets end together after one time-out, not fifty.
TEST(ProxyConnector, SilentProxyTimesOutOnceForManyTargetsAtTheRealTimeout) {
  LoopbackListener silent;  // never accepts, but the system completes up to 64 connections
  FakeResolver resolver;
  const uint32_t timeout = testing::kSlowedBuild ? 3000 : kConnectTimeoutMs;
  const ProxyConnector connector(Route(4, "127.0.0.1", std::to_string(silent.port())), resolver, timeout);
  std::vector<ProxyTarget> targets;
  for (int i = 0; i < 50; ++i) targets.push_back({"192.0.2." + std::to_string(i + 1), 443});
  std::set<std::size_t> reported;
  const auto start = Clock::now();
  const std::vector<ProxyResult> results =
      connector.ConnectAll(targets, [&](std::size_t index, const ProxyResult& result) {
        EXPECT_TRUE(reported.insert(index).second) << "reported twice: " << index;
        EXPECT_EQ(result.verdict, ProxyVerdict::Timeout) << result.reason;
      });
  const long long elapsed = MsSince(start);
  EXPECT_GE(elapsed, static_cast<long long>(timeout) - 50);
  EXPECT_LE(elapsed, static_cast<long long>(timeout) + 1000);
  ASSERT_EQ(results.size(), targets.size());
  EXPECT_EQ(reported.size(), targets.size());
  for (const ProxyResult& result : results)  // each verdict is checked as it is reported
    EXPECT_NE(result.reason.find("did not answer within " + std::to_string(timeout) + " ms"),
              std::string::npos) << result.reason;
}

TEST(ProxyConnector, StopEndsEveryWaitingAttempt) {
  LoopbackListener silent;
  FakeResolver resolver;
  const ProxyConnector connector(Route(1, "127.0.0.1", std::to_string(silent.port())), resolver);
  StopFlag stop{false};
  const testing::StopAfter stopper(stop, 200);
  const auto start = Clock::now();
  const auto results = connector.ConnectAll(std::vector<ProxyTarget>(8, {"192.0.2.10", 443}), {}, &stop);
  const long long elapsed = MsSince(start);
  EXPECT_LT(elapsed, 1200) << "the 10 s waits ended soon after the stop";
  for (const ProxyResult& result : results) {
    EXPECT_EQ(result.verdict, ProxyVerdict::Timeout);
    EXPECT_EQ(result.reason, "stopped");
  }
}

}  // namespace
}  // namespace rk
