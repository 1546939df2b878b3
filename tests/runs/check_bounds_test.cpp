// The check against input that could make it hang or grow without bound: a very large catalogue,
// many silent addresses, and a router that answers every probe with an error.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "base/format.h"
#include "runs/reachability_check.h"
#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

// A tenth of the catalogue where sockets are slowed still holds far more addresses than a thread
// per address would survive.
constexpr int kManyHosts = testing::kSlowedBuild ? 10000 : 100000;

using testing::Ip;

// Distinct loopback addresses on one refused port, each diagnosed: the probes neither exhaust the
// process's threads nor run past the diagnosis deadline (a crash or a hang is the fault).
TEST(CheckBounds, HundredThousandLoopbackEndpoints) {
  HostCatalogue catalogue{{}, std::vector<std::string>(kManyHosts, "S"), {testing::ClosedLoopbackPort()}, {},
                          kManyHosts};
  for (int i = 0; i < kManyHosts; ++i)
    catalogue.hostTexts.push_back(Format("127.%d.%d.%d", 1 + i / 65536, i / 256 % 256, i % 256));
  testing::FakeResolver resolver;
  IcmpEchoService echo;  // loopback answers its own echo
  const CheckReport report = ReachabilityCheck(resolver, echo).Run(catalogue);
  ASSERT_EQ(report.endpoints.size(), static_cast<std::size_t>(kManyHosts));
  EXPECT_EQ(report.counts[static_cast<std::size_t>(Verdict::Refused)], static_cast<std::size_t>(kManyHosts));
}

// The connect's time-out stays a time-out, its cause names the router, and the check ends in time.
TEST(CheckBounds, RouterAnsweringEveryProbeWithAnError) {
  testing::StalledListener stalled;
  ASSERT_TRUE(stalled.stalled());
  testing::FakeResolver resolver;
  testing::CannedEcho echo;  // every echo, at any TTL, gets router 192.0.2.2's "unreachable" report
  echo.answer = EchoResult{0, Ip(192, 0, 2, 2), 1, true};
  const CheckOptions options{.connectTimeoutMs = 600, .suspectAfterMs = 100};
  const auto start = testing::Clock::now();
  const CheckReport report = ReachabilityCheck(resolver, echo, options)
                                 .Run(HostCatalogue{{"127.0.0.1"}, {"S"}, {stalled.port()}, {}, 1});
  EXPECT_LT(testing::MsSince(start), 2 * 600 + 700 + 300);
  ASSERT_EQ(report.counts[static_cast<std::size_t>(Verdict::Timeout)], 1u);
  EXPECT_EQ(report.endpoints[0].cause, "router 1 (192.0.2.2) reports the address unreachable");
}

// Every echo goes unanswered after 30 ms; counts the path probes (TTL batches) in flight at once.
struct SilentPaths final : EchoService {
  bool Initialize() override { return true; }
  int SendEcho(uint32_t, EchoResult& result, int, uint32_t, int, int, const StopFlag*) override {
    result.errorCode = kIpReqTimedOut;
    return 1;
  }
  bool SendEchoBatch(std::span<const EchoRequest> requests, std::span<EchoResult> results, uint32_t,
                     const StopFlag*) override {
    const bool path = std::any_of(requests.begin(), requests.end(), [](const EchoRequest& r) { return r.ttl > 0; });
    for (int now = path ? ++inFlight : 0, seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {}
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    if (path) --inFlight;
    for (EchoResult& result : results) result.errorCode = kIpReqTimedOut;
    return true;
  }
  std::atomic<int> inFlight{0}, most{0};
};

// Twelve silent addresses with diagnoses capped at two: never more path probes at once than
// that (a thread per address would run all twelve together).
TEST(CheckBounds, SilentAddressesAreDiagnosedWithinTheCap) {
  std::vector<std::unique_ptr<testing::StalledListener>> stalled;
  HostCatalogue catalogue{{}, std::vector<std::string>(12, "L"), {}, {}, 0};
  for (uint32_t i = 0; i < 12; ++i) {
    stalled.push_back(std::make_unique<testing::StalledListener>(0x7F000001u | (i + 1) << 16));
    ASSERT_TRUE(stalled.back()->stalled()) << i;
    catalogue.hostTexts.push_back(Format("127.%u.0.1", i + 1));  // one path probe per /24
    catalogue.localPorts.push_back(stalled.back()->port());
  }
  testing::FakeResolver resolver;
  SilentPaths echo;
  const CheckOptions options{.connectTimeoutMs = 600, .suspectAfterMs = 100, .maxConcurrentDiagnoses = 2};
  const CheckReport report = ReachabilityCheck(resolver, echo, options).Run(catalogue);
  EXPECT_EQ(report.counts[static_cast<std::size_t>(Verdict::Timeout)], 12u);
  EXPECT_GE(report.addresses.size(), 2u) << "the deadline may cut the rest short";
  EXPECT_GE(echo.most.load(), 1);
  EXPECT_LE(echo.most.load(), 2);
}

}  // namespace
}  // namespace rk
