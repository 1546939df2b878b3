#include "diagnostics/icmp_echo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "support/test_support.h"

namespace rk {
namespace {

using rk::testing::Ip;

TEST(IcmpEcho, LoopbackAnswersEveryShapeOfRequest) {
  IcmpEchoService service;
  const bool ready = service.Initialize();
  EXPECT_EQ(IcmpEchoService().Initialize(), ready) << "the first answer holds for the process";
  if (!ready) {
    // Without the system's permission the suite skips, except in CI.
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") FAIL() << IcmpPermissionHint();
    GTEST_SKIP() << "ICMP is not available here. " << IcmpPermissionHint();
  }
  // Rows: destination, time-to-live and payload size (both use their low 8 bits), no options.
  const std::tuple<uint32_t, int, int, int> rows[] = {
      {Ip(127, 0, 0, 1), 30, kEchoDataSize, 1}, {Ip(127, 0, 0, 1), 257, kEchoDataSize, 0},
      {Ip(127, 0, 0, 2), 30, 0, 1},             {Ip(127, 0, 0, 1), 30, 300, 1}};
  for (const auto& [destination, ttl, dataSize, noOptions] : rows) {
    EchoResult result;
    result.roundTripMs = 77777;
    ASSERT_EQ(service.SendEcho(destination, result, ttl, kEchoTimeoutMs, dataSize, noOptions), 1);
    EXPECT_EQ(result.errorCode, 0u) << ttl << " " << dataSize;
    EXPECT_EQ(result.replyAddress, destination) << "another loopback address answers for itself";
    EXPECT_LT(result.roundTripMs, 1000u) << "the time was written";
  }
}

}  // namespace
}  // namespace rk
