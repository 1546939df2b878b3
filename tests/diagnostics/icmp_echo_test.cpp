#include "diagnostics/icmp_echo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/test_support.h"

namespace rk {
namespace {

using rk::testing::Ip;

// Echoes need the system's permission; without it the suite says why and
// skips, except in CI, where every test must run.
bool EchoServiceReady(IcmpEchoService& service) {
  if (service.Initialize()) return true;
  const char* ci = std::getenv("CI");
  if (ci != nullptr && std::string(ci) == "true") {
    ADD_FAILURE() << "ICMP is not available in CI. " << IcmpPermissionHint();
    return false;
  }
  return false;
}

#define REQUIRE_ECHO(service)                                                   \
  do {                                                                          \
    if (!EchoServiceReady(service)) {                                           \
      if (!::testing::Test::HasFailure())                                       \
        GTEST_SKIP() << "ICMP is not available here. " << IcmpPermissionHint(); \
      return;                                                                   \
    }                                                                           \
  } while (false)

TEST(IcmpEcho, InitializeDecidesOnceForTheProcess) {
  IcmpEchoService first;
  IcmpEchoService second;
  const bool answer = first.Initialize();
  EXPECT_EQ(first.Initialize(), answer);
  EXPECT_EQ(second.Initialize(), answer);
}

TEST(IcmpEcho, LoopbackAnswersEveryShapeOfRequest) {
  IcmpEchoService service;
  REQUIRE_ECHO(service);
  struct Row {
    const char* name;
    uint32_t destination;
    int ttl;
    int dataSize;
    int noOptions;
  };
  const Row rows[] = {
      {"the ping call", Ip(127, 0, 0, 1), 30, kEchoDataSize, 1},
      {"a trace probe with time-to-live 1", Ip(127, 0, 0, 1), 1, kEchoDataSize, 0},
      {"time-to-live 257 is taken as 1", Ip(127, 0, 0, 1), 257, kEchoDataSize, 0},
      {"no payload", Ip(127, 0, 0, 1), 30, 0, 1},
      {"the largest payload", Ip(127, 0, 0, 1), 30, 255, 1},
      {"300 bytes is taken as 44", Ip(127, 0, 0, 1), 30, 300, 1},
      {"another loopback address answers for itself", Ip(127, 0, 0, 2), 30, kEchoDataSize, 1},
  };
  for (const Row& row : rows) {
    EchoResult result;
    result.roundTripMs = 77777;
    ASSERT_EQ(service.SendEcho(row.destination, result, row.ttl, kEchoTimeoutMs, row.dataSize,
                               row.noOptions),
              1)
        << row.name;
    EXPECT_EQ(result.errorCode, 0u) << row.name;
    EXPECT_EQ(result.replyAddress, row.destination) << row.name;
    EXPECT_LT(result.roundTripMs, 1000u) << row.name << ": the time was written";
  }
}

}  // namespace
}  // namespace rk
