#include "runs/reachability_check.h"
#include "runs/check_causes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>

#include "base/format.h"
#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using namespace std::chrono_literals;
using testing::Clock;
using testing::ClosedLoopbackPort;
using ::testing::HasSubstr;
using testing::Ip;
using testing::LoopbackListener;
using testing::MsSince;
using testing::StalledListener;

// Server entries share `nmPorts`; each Local entry is {host, port}.
HostCatalogue Catalogue(const std::vector<std::string>& servers, std::vector<int32_t> nmPorts,
                        const std::vector<std::pair<std::string, int32_t>>& locals = {}) {
  HostCatalogue catalogue;
  for (const std::string& host : servers) {
    catalogue.hostTexts.push_back(host);
    catalogue.labels.push_back(Format("S%zu", catalogue.labels.size()));
  }
  catalogue.serverSectionCount = static_cast<int32_t>(servers.size());
  catalogue.nmPorts = std::move(nmPorts);
  for (const auto& [host, port] : locals) {
    catalogue.hostTexts.push_back(host);
    catalogue.labels.push_back(Format("L%zu", catalogue.labels.size()));
    catalogue.localPorts.push_back(port);
  }
  return catalogue;
}

// Echo answers per destination: the router at each TTL (0: silent), then the destination if it
// answers; a router in `flaky` stays silent the first time its TTL is asked (it rations its
// reports). An unanswered echo takes `silentMs`, an answered one 5 ms.
struct FakeEcho final : EchoService {
  struct Path {
    std::vector<uint32_t> routers;  // TTL 1.. ; the destination answers beyond them
    bool destinationAnswers = true;
  };
  bool Initialize() override { return true; }
  int SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs, int,
               int noOptions, const StopFlag*) override {
    uint32_t answerer = 0;
    if (const auto found = paths.find(destination); found != paths.end()) {
      const std::vector<uint32_t>& routers = found->second.routers;
      if (noOptions == 0 && ttl >= 1 && static_cast<std::size_t>(ttl) <= routers.size())
        answerer = routers[static_cast<std::size_t>(ttl) - 1];
      else if (found->second.destinationAnswers)
        answerer = destination;
    }
    {
      const std::lock_guard lock(mutex);
      ++sent;
      if (noOptions == 0 && ttl > 0 && ++askedTtl[ttl] == 1 && flaky.count(answerer) != 0) answerer = 0;
    }
    const uint32_t waitMs = answerer == 0 ? std::min(silentMs, timeoutMs) : 5;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    result = answerer == 0 ? EchoResult{kIpReqTimedOut, 0, 0} : EchoResult{0, answerer, 5};
    return 1;
  }
  bool SendEchoBatch(std::span<const EchoRequest> requests, std::span<EchoResult> results,
                     uint32_t timeoutMs, const StopFlag* stop) override {
    {
      const std::lock_guard lock(mutex);
      const auto ttls = std::count_if(requests.begin(), requests.end(),
                                      [](const EchoRequest& r) { return r.ttl > 0; });
      largestTtlBatch = std::max(largestTtlBatch, static_cast<std::size_t>(ttls));
    }
    return EchoService::SendEchoBatch(requests, results, timeoutMs, stop);
  }

  std::map<uint32_t, Path> paths;
  std::set<uint32_t> flaky;
  uint32_t silentMs = 300;
  std::mutex mutex;  // guards what follows
  std::map<int, int> askedTtl;
  std::size_t largestTtlBatch = 0;
  int sent = 0;
};

// Verdicts before any connection: failed look-ups, no port, ports outside 1..65535 (never wrapped).
TEST(ReachabilityCheck, VerdictsWithoutAConnection) {
  testing::FakeResolver resolver;
  resolver.Answer("known.test", Ip(127, 0, 0, 1));
  FakeEcho echo;
  const HostCatalogue catalogue =
      Catalogue({"unknown.test", "known.test"}, {0, 65536, -1, 70000},
                {{"127.0.0.1", 0}, {"also-unknown.test", 80}, {"no-such host", 80}, {"", 80}});
  const CheckReport report = ReachabilityCheck(resolver, echo).Run(catalogue);
  const std::string nx = "the name does not exist (the DNS server says so)", noPort = "the entry has no port to test";
  using Row = std::tuple<std::size_t, int32_t, std::string, std::string>;  // index, port, verdict, cause
  const std::vector<Row> want = {
      {0, 0, "unresolved", nx}, {0, 65536, "unresolved", nx}, {0, -1, "unresolved", nx},
      {0, 70000, "unresolved", nx}, {1, 0, "no-port", noPort},
      {1, 65536, "error", "port 65536 is outside 1..65535"}, {1, -1, "error", "port -1 is outside 1..65535"},
      {1, 70000, "error", "port 70000 is outside 1..65535"}, {2, 0, "no-port", noPort},
      {3, 80, "unresolved", nx}, {4, 80, "unresolved", "this is not a host name (not looked up)"},
      {5, 80, "no-host", "the entry has no host to test"}};
  std::vector<Row> got;
  for (const EndpointResult& e : report.endpoints)
    got.emplace_back(e.index, e.port, VerdictName(e.verdict), e.cause);
  EXPECT_EQ(got, want);
  EXPECT_TRUE(report.addresses.empty()) << "nothing was connected, so nothing is diagnosed";
  // Each name once; numeric texts and texts that are no host name never.
  EXPECT_THAT(resolver.asked, ::testing::UnorderedElementsAre("unknown.test", "known.test",
                                                           "also-unknown.test"));
  EXPECT_EQ(echo.sent, 0);
}

// A resolver that never answers in time: the check gives up at its bound.
struct SlowResolver final : NameResolver {
  std::optional<uint32_t> FirstIPv4(const std::string&) override {
    std::this_thread::sleep_for(1500ms);
    return Ip(127, 0, 0, 1);
  }
};

TEST(ReachabilityCheck, LookUpsRunTogetherAndEachIsBounded) {
  static SlowResolver resolver;  // outlives the abandoned look-ups
  FakeEcho echo;
  const CheckOptions options{.lookupTimeoutMs = 400};
  const auto start = Clock::now();
  const CheckReport report = ReachabilityCheck(resolver, echo, options)
                                 .Run(Catalogue({"a.test", "b.test", "c.test", "d.test"}, {80}));
  EXPECT_LT(MsSince(start), 1200);
  ASSERT_EQ(report.counts[static_cast<std::size_t>(Verdict::Unresolved)], 4u);
  EXPECT_EQ(report.endpoints[3].cause, "the DNS server did not answer within 400 ms");
}

// Open, refused and the time-out in one loopback run, each delivered as it settles: the real 10 s
// natively, 3 s where sockets are slowed.
TEST(ReachabilityCheck, OpenRefusedAndTheRealTimeOutOnLoopback) {
  CheckOptions options;
  options.connectTimeoutMs = testing::kSlowedBuild ? 3000 : kConnectTimeoutMs;
  const long long timeout = options.connectTimeoutMs;
  LoopbackListener listener;
  StalledListener stalled;
  ASSERT_TRUE(stalled.stalled());
  const int refused = ClosedLoopbackPort();
  testing::FakeResolver resolver;
  FakeEcho echo;
  echo.paths[Ip(127, 0, 0, 1)] = {};  // answers echo at TTL 1
  const HostCatalogue catalogue =
      Catalogue({"127.0.0.1"}, {listener.port(), refused}, {{"127.0.0.1", stalled.port()}});
  std::vector<std::pair<Verdict, long long>> arrivals;
  std::vector<std::size_t> waiting;
  const auto start = Clock::now();
  const CheckReport report = ReachabilityCheck(resolver, echo, options).Run(
      catalogue, [&](const EndpointResult& e) { arrivals.emplace_back(e.verdict, MsSince(start)); },
      nullptr, [&](std::size_t done, std::size_t all) { waiting.push_back(all - done); });
  const long long total = MsSince(start);
  std::vector<Verdict> verdicts;
  for (const EndpointResult& e : report.endpoints) verdicts.push_back(e.verdict);
  ASSERT_EQ(verdicts, (std::vector<Verdict>{Verdict::Open, Verdict::Refused, Verdict::Timeout}));
  EXPECT_LT(report.endpoints[0].ms, 1000);
  EXPECT_LT(report.endpoints[1].ms, 1000) << "a refusal is reported at once";
  EXPECT_GE(report.endpoints[2].ms, timeout - 10);
  EXPECT_LT(report.endpoints[2].ms, timeout + 500);
  EXPECT_LT(total, timeout + 1000);
  // Live delivery: the quick verdicts arrived long before the time-out.
  ASSERT_EQ(arrivals.size(), 3u);
  EXPECT_EQ(arrivals.back().first, Verdict::Timeout);
  EXPECT_LT(arrivals.front().second, 1000);
  // Alive meanwhile: about once a second, one endpoint still waiting.
  EXPECT_GE(waiting.size(), std::size_t(timeout / 1000 - 2));
  EXPECT_LE(waiting.size(), std::size_t(timeout / 1000));
  for (const std::size_t count : waiting) EXPECT_EQ(count, 1u);
  // The address was diagnosed once, while the slow connect was still waiting (causes: check_test.sh).
  ASSERT_EQ(report.addresses.size(), 1u);
  EXPECT_TRUE(report.addresses[0].echoAnswered);
}

TEST(ReachabilityCheck, DuplicateEndpointsAreConnectedOnceAndReportedForEveryEntry) {
  LoopbackListener listener;
  testing::FakeResolver resolver;
  resolver.Answer("loop.test", Ip(127, 0, 0, 1));
  FakeEcho echo;
  const HostCatalogue catalogue =
      Catalogue({"127.0.0.1", "loop.test", "127.0.0.1"}, {listener.port(), listener.port()},
                {{"127.0.0.1", listener.port()}});
  const CheckReport report = ReachabilityCheck(resolver, echo).Run(catalogue);
  EXPECT_EQ(report.counts[static_cast<std::size_t>(Verdict::Open)], 7u);
  EXPECT_EQ(listener.DrainQueued(), 1) << "one connection for seven endpoints";
  EXPECT_EQ(echo.sent, 0) << "an address fully open is not diagnosed";
}

// Six unanswered endpoints with at most two sockets open take three time-outs in a row (one
// socket more would take two); without the cap they all wait together.
TEST(ReachabilityCheck, NeverMoreSocketsThanTheCapAndTheRestWaitTheirTurn) {
  std::vector<std::unique_ptr<StalledListener>> stalled;
  std::vector<std::pair<std::string, int32_t>> locals;
  for (int i = 0; i < 6; ++i) {
    stalled.push_back(std::make_unique<StalledListener>());
    ASSERT_TRUE(stalled.back()->stalled());
    locals.emplace_back("127.0.0.1", stalled.back()->port());
  }
  testing::FakeResolver resolver;
  FakeEcho echo;
  for (const std::size_t cap : {std::size_t{2}, std::size_t{256}}) {
    const CheckOptions options{.connectTimeoutMs = 200, .maxOpenSockets = cap, .diagnose = false};
    const int before = testing::OpenHandleCount();
    const auto start = Clock::now();
    const CheckReport report = ReachabilityCheck(resolver, echo, options).Run(Catalogue({}, {}, locals));
    const long long elapsed = MsSince(start);
    EXPECT_EQ(report.counts[static_cast<std::size_t>(Verdict::Timeout)], 6u) << cap;
    if (cap == 2)
      EXPECT_GE(elapsed, 3 * 200 - 20);
    else
      EXPECT_LT(elapsed, 500) << "all six wait together";
    EXPECT_EQ(testing::OpenHandleCount(), before) << "every socket is closed";
  }
}

TEST(ReachabilityCheck, HostNameSyntax) {
  const std::string label63(63, 'a'), name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'd');
  for (const std::string& good : std::vector<std::string>{"localhost", "a.b-c.example.", "x_1.test", label63 + ".test", name253})
    EXPECT_TRUE(IsHostNameSyntax(good)) << good;
  for (const std::string& bad : std::vector<std::string>{"no such", "a..b", "-a.test", "a-.test", ".", "h\xa5\x5c",
                                 label63 + "a.test", name253 + "d"})
    EXPECT_FALSE(IsHostNameSyntax(bad)) << bad;
}

// The path is read from answers to TTL 1..N sent together.
TEST(ReachabilityCheck, PathReading) {
  const uint32_t target = Ip(203, 0, 113, 2);
  const uint32_t r1 = Ip(192, 0, 2, 2), r2 = Ip(198, 51, 100, 2), r3 = Ip(198, 51, 100, 6);
  const auto answer = [](uint32_t from) { return EchoResult{0, from, 7}; };
  const EchoResult none{kIpReqTimedOut, 0, 0};
  struct Case {
    const char* what;
    std::vector<EchoResult> answers;
    std::vector<std::pair<int, uint32_t>> hops;
    int lastTtl;
    bool reached;
    bool report = false;
  };
  const std::vector<Case> cases = {
      {"all answer", {answer(r1), answer(r2), answer(r3), answer(target), answer(target)},
       {{1, r1}, {2, r2}, {3, r3}, {4, target}}, 4, true},
      {"a silent router", {answer(r1), none, answer(r3), answer(target)},
       {{1, r1}, {3, r3}, {4, target}}, 4, true},
      {"nothing beyond router 3", {answer(r1), answer(r2), answer(r3), none, none},
       {{1, r1}, {2, r2}, {3, r3}}, 3, false},
      {"router 3 reports the rest unreachable", {answer(r1), answer(r2), answer(r3), answer(r3), answer(r3)},
       {{1, r1}, {2, r2}, {3, r3}}, 3, false, true},
      {"nothing at all", {none, none, none}, {}, 0, false},
      {"router 2's one unreachable report ends the path",
       {answer(r1), EchoResult{0, r2, 7, true}, none, none}, {{1, r1}, {2, r2}}, 2, false, true},
  };
  for (const Case& c : cases) {
    const PathProbe path = ReadPath(target, c.answers);
    std::vector<std::pair<int, uint32_t>> hops;
    for (const PathHop& hop : path.hops) hops.emplace_back(hop.ttl, hop.address);
    EXPECT_EQ(std::tuple(hops, path.lastTtl, path.targetReached, path.endsWithReport),
              std::tuple(c.hops, c.lastTtl, c.reached, c.report)) << c.what;
  }
}

TEST(ReachabilityCheck, OneCausePerVerdictAndDiagnosis) {
  const uint32_t target = Ip(203, 0, 113, 2);
  const uint32_t r1 = Ip(192, 0, 2, 2), r3 = Ip(198, 51, 100, 6);
  const auto endpoint = [&](Verdict verdict, uint32_t reporter = 0,
                            UnreachableKind kind = UnreachableKind::Network) {
    EndpointResult e;
    e.address = target, e.port = 8443, e.verdict = verdict, e.reporter = reporter, e.unreachable = kind;
    return e;
  };
  AddressDiagnosis beyond3{target, false, 0, {{{1, r1, 1}, {3, r3, 2}}, 3, false, false}};
  AddressDiagnosis reportedBy3 = beyond3;
  reportedBy3.path.endsWithReport = true;
  AddressDiagnosis silent{target, false, 0, {}};
  const std::string hint = IcmpPermissionHint();
  struct Case {
    EndpointResult endpoint;
    const AddressDiagnosis* diagnosis;
    bool icmp;
    std::string cause;
  };
  // Refused, filtered, prohibited and "beyond router N" are check_test.sh's, end to end.
  const std::vector<Case> cases = {
      {endpoint(Verdict::Timeout), &silent, true, "no answer, not even from the first router"},
      {endpoint(Verdict::Timeout), nullptr, true, "no answer to the connection request"},
      {endpoint(Verdict::Timeout), nullptr, false,
       hint.empty() ? std::string("no answer to the connection request; finding where it stops needs ICMP")
                    : Format("no answer to the connection request; finding where it stops needs ICMP (%s)",
                             hint.c_str())},
      {endpoint(Verdict::Unreachable, r3), &beyond3, true,
       "router 198.51.100.6 says the network is unreachable"},
      {endpoint(Verdict::Unreachable, 0, UnreachableKind::Host), &reportedBy3, true,
       "router 198.51.100.6 says the host is unreachable"},
      {endpoint(Verdict::Unreachable, 0, UnreachableKind::Host), &beyond3, true,
       "the network says the host is unreachable (the reporting router is not known)"},
      {endpoint(Verdict::Unreachable), nullptr, true,
       "the network says the network is unreachable (the reporting router is not known)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CauseOf(c.endpoint, c.diagnosis, c.icmp), c.cause) << VerdictName(c.endpoint.verdict);
#ifndef _WIN32
  EXPECT_THAT(hint, HasSubstr("net.ipv4.ping_group_range"));
#endif
}

// The pending error decides, a queued report only adds its sender; a refusal not sent by the
// target is a filter's.
TEST(ReachabilityCheck, ConnectSettlementRule) {
  using connect_backend::QueuedReport;
  using connect_backend::SettlementOf;
  const connect_backend::ErrorCodes codes{1, 2, 3, 4, 5, 6, [](int) { return std::string("x"); }};
  const uint32_t target = Ip(203, 0, 113, 2);
  const uint32_t router = Ip(198, 51, 100, 2);
  const QueuedReport none;
  const QueuedReport hostUnreachable{true, 3, 1, router};
  const QueuedReport portFromRouter{true, 3, 3, router};
  const QueuedReport portFromTarget{true, 3, 3, target};
  struct Case {
    int pending;
    bool hungUp;
    QueuedReport report;
    ConnectOutcome outcome;
    UnreachableKind kind;
    uint32_t reporter;
  };
  const Case cases[] = {
      {0, false, none, ConnectOutcome::Open, UnreachableKind::Host, 0},
      {0, false, hostUnreachable, ConnectOutcome::Open, UnreachableKind::Host, 0},  // stale report
      {0, true, none, ConnectOutcome::Error, UnreachableKind::Host, 0},
      {0, true, hostUnreachable, ConnectOutcome::Unreachable, UnreachableKind::Host, router},
      {1, false, none, ConnectOutcome::Refused, UnreachableKind::Host, 0},
      {1, false, portFromTarget, ConnectOutcome::Refused, UnreachableKind::Host, target},
      {1, false, portFromRouter, ConnectOutcome::Unreachable, UnreachableKind::RefusedOnBehalf, router},
      {2, false, none, ConnectOutcome::Unreachable, UnreachableKind::Prohibited, 0},
      {5, false, hostUnreachable, ConnectOutcome::Unreachable, UnreachableKind::Host, router},
      {5, false, QueuedReport{true, 3, 13, router}, ConnectOutcome::Unreachable,
       UnreachableKind::Prohibited, router},
      {4, false, none, ConnectOutcome::Unreachable, UnreachableKind::Network, 0},
  };
  for (const Case& c : cases) {
    const ConnectSettlement got = SettlementOf(c.pending, c.hungUp, c.report, target, codes);
    // The kind means something only for an unreachable outcome.
    const UnreachableKind kind = got.outcome == ConnectOutcome::Unreachable ? got.unreachable : c.kind;
    EXPECT_EQ(std::tuple(got.outcome, kind, got.reporter), std::tuple(c.outcome, c.kind, c.reporter))
        << c.pending << " " << c.hungUp << " " << int{c.report.code};
  }
}

// Router 2 rations its reports, the target ignores echo: the path probe goes a few TTLs at a time,
// asks the silent hop again and stops three silent TTLs past router 3, within two time-outs.
TEST(ReachabilityCheck, DiagnosisPacesThePathProbeAndAsksASilentHopAgain) {
  StalledListener stalled;
  ASSERT_TRUE(stalled.stalled());
  testing::FakeResolver resolver;
  FakeEcho echo;
  echo.silentMs = 400;
  const uint32_t r2 = Ip(198, 51, 100, 2);
  echo.paths[Ip(127, 0, 0, 1)] = {{Ip(192, 0, 2, 2), r2, Ip(198, 51, 100, 6)}, false};
  echo.flaky.insert(r2);
  const CheckOptions options{.connectTimeoutMs = 600, .suspectAfterMs = 100};
  const auto start = Clock::now();
  const CheckReport report = ReachabilityCheck(resolver, echo, options)
                                 .Run(Catalogue({}, {}, {{"127.0.0.1", stalled.port()}}));
  EXPECT_LT(MsSince(start), 2 * 600 + 700 + 300);
  EXPECT_LE(echo.largestTtlBatch, 5u) << "no burst of the whole path";
  EXPECT_EQ(echo.askedTtl[2], 2) << "the silent hop is asked once more";
  EXPECT_EQ(echo.askedTtl[7], 0) << "three silent TTLs past the last answer end the probe";
  ASSERT_EQ(report.addresses.size(), 1u);
  std::vector<int> ttls;
  for (const PathHop& hop : report.addresses[0].path.hops) ttls.push_back(hop.ttl);
  EXPECT_EQ(ttls, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(report.endpoints[0].cause, "no answer beyond router 3 (198.51.100.6)");
}

}  // namespace
}  // namespace rk
