// The check against input that could make it hang or grow without bound: a
// very large catalogue and a router that answers every probe with an error.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/format.h"
#include "runs/reachability_check.h"
#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

// The sanitizers slow every connect several times over, and under Wine every
// socket call passes through the Wine server (100,000 take three and a half
// minutes there): a tenth of the catalogue still holds far more addresses than
// a thread per address would survive.
#if defined(__has_feature)
#define RK_SANITIZED (__has_feature(thread_sanitizer) || __has_feature(address_sanitizer))
#else
#define RK_SANITIZED 0
#endif
#if RK_SANITIZED || defined(_WIN32)
constexpr int kManyHosts = 10000;
#else
constexpr int kManyHosts = 100000;
#endif

using testing::Ip;

// Every echo, at any TTL, is answered by one router's "unreachable" report.
class ReportingRouter final : public EchoService {
 public:
  explicit ReportingRouter(uint32_t router) : router_(router) {}
  bool Initialize() override { return true; }
  int SendEcho(uint32_t, EchoResult& result, int, uint32_t, int, int, const StopFlag*) override {
    result = EchoResult{0, router_, 1, true};
    return 1;
  }

 private:
  uint32_t router_;
};

// 100,000 distinct loopback endpoints (127.1.0.0 onwards, on one refused port),
// each address diagnosed: every endpoint gets its verdict, and the probes of
// that many addresses neither exhaust the process's threads nor run past the
// diagnosis deadline (a crash or a hang here, not a time, is the fault).
TEST(CheckBounds, HundredThousandLoopbackEndpoints) {
  const int closed = testing::ClosedLoopbackPort();
  HostCatalogue catalogue;
  constexpr int kHosts = kManyHosts;
  for (int i = 0; i < kHosts; ++i) {
    catalogue.hostTexts.push_back(Format("127.%d.%d.%d", 1 + i / 65536, i / 256 % 256, i % 256));
    catalogue.labels.push_back("S");
  }
  catalogue.serverSectionCount = kHosts;
  catalogue.nmPorts = {closed};
  testing::FakeResolver resolver;
  IcmpEchoService echo;  // loopback answers its own echo
  CheckOptions options;
  options.connectTimeoutMs = 10000;
  const CheckReport report = ReachabilityCheck(resolver, echo, options).Run(catalogue);
  ASSERT_EQ(report.endpoints.size(), static_cast<std::size_t>(kHosts));
  EXPECT_TRUE(std::all_of(report.endpoints.begin(), report.endpoints.end(),
                          [](const EndpointResult& e) { return e.verdict == Verdict::Refused; }));
  EXPECT_LE(report.addresses.size(), static_cast<std::size_t>(kHosts));
}

// A router that turns every probe into an error report: the connect's time-out
// stays a time-out, its cause names that router, and the check still ends by
// its deadline.
TEST(CheckBounds, RouterAnsweringEveryProbeWithAnError) {
  testing::StalledListener stalled;
  ASSERT_TRUE(stalled.stalled());
  testing::FakeResolver resolver;
  ReportingRouter echo(Ip(192, 0, 2, 2));
  CheckOptions options;
  options.connectTimeoutMs = 600;
  options.suspectAfterMs = 100;
  HostCatalogue catalogue;
  catalogue.hostTexts = {"127.0.0.1"};
  catalogue.labels = {"S"};
  catalogue.serverSectionCount = 1;
  catalogue.nmPorts = {stalled.port()};
  const auto start = testing::Clock::now();
  const CheckReport report = ReachabilityCheck(resolver, echo, options).Run(catalogue);
  EXPECT_LT(testing::MsSince(start), 2 * 600 + 700 + 300);
  ASSERT_EQ(report.endpoints.size(), 1u);
  EXPECT_EQ(report.endpoints[0].verdict, Verdict::Timeout);
  EXPECT_NE(report.endpoints[0].cause.find("192.0.2.2"), std::string::npos) << report.endpoints[0].cause;
  ASSERT_EQ(report.addresses.size(), 1u);
  EXPECT_FALSE(report.addresses[0].echoAnswered);
  ASSERT_EQ(report.addresses[0].path.hops.size(), 1u);
  EXPECT_TRUE(report.addresses[0].path.endsWithReport);
}

}  // namespace
}  // namespace rk
