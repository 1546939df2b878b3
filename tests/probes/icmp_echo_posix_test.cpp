#include "probes/icmp_echo_posix.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "support/test_support.h"

namespace rk {
namespace {

using rk::testing::Clock;
using rk::testing::Ip;
using rk::testing::MsSince;

void SetSysctl(const std::string& name, const char* value) {
  EXPECT_TRUE(std::ofstream("/proc/sys/net/ipv4/" + name) << value << std::flush) << name;
}

// In a child process with a network namespace of its own (only loopback, ping sockets allowed),
// so that loopback can be made silent without touching the host. The child only EXPECTs: a
// failed ASSERT would return into gtest and run the remaining tests in the child as well.
TEST(IcmpEchoPosix, BothSocketKindsGetAnswersThenTimeOutOnSilenceOrEndAtTheStopFlag) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace of its own";
  std::fflush(stdout);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child != 0) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "see the child's failures above";
    return;
  }
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  request.ifr_flags = IFF_UP;
  const auto finish = [] { std::fflush(stdout); _exit(::testing::Test::HasFailure() ? 1 : 0); };
  // Without a namespace of its own the child touches nothing: it would be the host's.
  if (unshare(CLONE_NEWNET) != 0 || ioctl(socket(AF_INET, SOCK_DGRAM, 0), SIOCSIFFLAGS, &request)) {
    ADD_FAILURE() << "could not set up the network namespace";
    finish();
  }
  SetSysctl("ping_group_range", "0 2147483647");
  for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
    const char* name = kind == IcmpSocketKind::Raw ? "raw" : "datagram";
    EchoResult result;
    for (int i = 0; i < 3; ++i) {  // consecutive echoes: each one's own sequence
      EXPECT_EQ(SendEchoOver(kind, Ip(127, 0, 0, 1), result, 64, 2000, 32, 0, nullptr), 1);
      EXPECT_EQ(result.errorCode, 0u) << name;
      EXPECT_EQ(result.replyAddress, Ip(127, 0, 0, 1)) << name;
    }
    SetSysctl("icmp_echo_ignore_all", "1");
    // The raw socket waits the product's real time-out; the other a short one.
    const uint32_t timeout = kind == IcmpSocketKind::Raw ? kEchoTimeoutMs : 300;
    auto start = Clock::now();
    EXPECT_EQ(SendEchoOver(kind, Ip(127, 0, 0, 1), result, 30, timeout, 32, 1, nullptr), 1);
    EXPECT_GE(MsSince(start), timeout) << name;
    EXPECT_LT(MsSince(start), timeout + 1000) << name;
    EXPECT_EQ(result.errorCode, kIpReqTimedOut) << name;

    StopFlag stop{false};
    start = Clock::now();
    {
      const testing::StopAfter stopper(stop, 120);
      EXPECT_EQ(SendEchoOver(kind, Ip(127, 0, 0, 1), result, 30, kEchoTimeoutMs, 32, 1, &stop), 1);
    }
    EXPECT_EQ(result.errorCode, kIpReqTimedOut) << name;
    EXPECT_GE(MsSince(start), 100) << name;
    EXPECT_LT(MsSince(start), 120 + 2 * static_cast<long long>(kStopPollMs) + 200) << name;
    SetSysctl("icmp_echo_ignore_all", "0");
  }
  finish();
}

}  // namespace
}  // namespace rk
