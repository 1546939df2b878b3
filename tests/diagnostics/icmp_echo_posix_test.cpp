#include "diagnostics/icmp_echo_posix.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace rk {
namespace {

using rk::testing::Ip;
using Clock = std::chrono::steady_clock;
using Sysctls = std::vector<std::pair<std::string, std::string>>;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool WriteSysctl(const std::string& name, const std::string& value) {
  std::ofstream file("/proc/sys/net/ipv4/" + name);
  file << value;
  return static_cast<bool>(file.flush());
}

bool BringLoopbackUp() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  close(fd);
  return up;
}

// Runs `body` in a child process inside a network namespace of its own
// (only a loopback interface, with the given sysctls), so that the tests can
// make loopback silent or allow ping sockets without touching the host. The
// child's expectation failures are printed by the child and fail the test.
void InFreshNetworkNamespace(const Sysctls& sysctls, const std::function<void()>& body) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace of its own";
  std::fflush(stdout);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNET) != 0 || !BringLoopbackUp()) {
      ADD_FAILURE() << "could not set up the network namespace";
    } else {
      for (const auto& [name, value] : sysctls)
        if (!WriteSysctl(name, value)) ADD_FAILURE() << "could not set " << name;
      if (!::testing::Test::HasFailure()) body();
    }
    std::fflush(stdout);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended abnormally";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's failures above";
}

const Sysctls kPingSocketsAllowed{{"ping_group_range", "0 2147483647"}};
const Sysctls kSilentLoopback{{"ping_group_range", "0 2147483647"}, {"icmp_echo_ignore_all", "1"}};

const char* Name(IcmpSocketKind kind) { return kind == IcmpSocketKind::Raw ? "raw" : "datagram"; }

TEST(IcmpEchoPosix, PermissionHintNamesBothWays) {
  const std::string hint = IcmpPermissionHint();
  EXPECT_NE(hint.find("net.ipv4.ping_group_range"), std::string::npos);
  EXPECT_NE(hint.find("CAP_NET_RAW"), std::string::npos);
  EXPECT_EQ(hint.find('\n'), std::string::npos);
}

TEST(IcmpEchoPosix, BothSocketKindsGetLoopbackAnswers) {
  InFreshNetworkNamespace(kPingSocketsAllowed, [] {
    for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
      ASSERT_TRUE(CanOpenIcmpSocket(kind)) << Name(kind);
      for (int i = 0; i < 3; ++i) {  // consecutive echoes: each one's own sequence
        EchoResult result;
        ASSERT_EQ(SendEchoOver(kind, Ip(127, 0, 0, 1), result, 64, 2000, kEchoDataSize, 0, nullptr),
                  1);
        EXPECT_EQ(result.errorCode, 0u) << Name(kind);
        EXPECT_EQ(result.replyAddress, Ip(127, 0, 0, 1)) << Name(kind);
      }
    }
  });
}

TEST(IcmpEchoPosix, SilenceIsATimeOutThatLeavesTheAnswerFieldsAlone) {
  InFreshNetworkNamespace(kSilentLoopback, [] {
    for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
      EchoResult result;
      result.replyAddress = 0x12345678;
      result.roundTripMs = 4242;
      const auto start = Clock::now();
      ASSERT_EQ(SendEchoOver(kind, Ip(127, 0, 0, 1), result, 30, 300, kEchoDataSize, 1, nullptr),
                1);
      const auto elapsed = MsSince(start);
      EXPECT_EQ(result.errorCode, kIpReqTimedOut) << Name(kind);
      EXPECT_EQ(result.replyAddress, 0x12345678u) << Name(kind);
      EXPECT_EQ(result.roundTripMs, 4242u) << Name(kind);
      EXPECT_GE(elapsed, 300) << Name(kind);
      EXPECT_LT(elapsed, 2000) << Name(kind);
    }
  });
}

TEST(IcmpEchoPosix, TheProductTimeOutWaitsThreeSeconds) {
  InFreshNetworkNamespace(kSilentLoopback, [] {
    EchoResult result;
    const auto start = Clock::now();
    ASSERT_EQ(SendEchoOver(IcmpSocketKind::Raw, Ip(127, 0, 0, 1), result, 30, kEchoTimeoutMs,
                           kEchoDataSize, 1, nullptr),
              1);
    const auto elapsed = MsSince(start);
    EXPECT_EQ(result.errorCode, kIpReqTimedOut);
    EXPECT_GE(elapsed, 3000);
    EXPECT_LT(elapsed, 4000);
  });
}

TEST(IcmpEchoPosix, StopFlagEndsTheWaitEarly) {
  InFreshNetworkNamespace(kSilentLoopback, [] {
    for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
      StopFlag stop{false};
      std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        stop = true;
      });
      EchoResult result;
      const auto start = Clock::now();
      EXPECT_EQ(
          SendEchoOver(kind, Ip(127, 0, 0, 1), result, 30, kEchoTimeoutMs, kEchoDataSize, 1, &stop),
          1);
      const auto elapsed = MsSince(start);
      stopper.join();
      EXPECT_EQ(result.errorCode, kIpReqTimedOut) << Name(kind);
      EXPECT_GE(elapsed, 100) << Name(kind);
      EXPECT_LT(elapsed, 120 + 2 * static_cast<long long>(kStopPollMs) + 200) << Name(kind);
    }
  });
}

TEST(IcmpEchoPosix, LocalSendFailuresBecomeStatusNumbers) {
  // The namespace has no route beyond loopback: the kernel refuses the send.
  InFreshNetworkNamespace(kPingSocketsAllowed, [] {
    for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
      EchoResult result;
      result.replyAddress = 7;
      const auto start = Clock::now();
      ASSERT_EQ(SendEchoOver(kind, Ip(192, 0, 2, 1), result, 30, kEchoTimeoutMs, kEchoDataSize, 0,
                             nullptr),
                1);
      EXPECT_EQ(result.errorCode, kIpDestNetUnreachable) << Name(kind);
      EXPECT_EQ(result.replyAddress, 7u) << Name(kind);
      EXPECT_LT(MsSince(start), 500) << Name(kind) << ": no wait after a failed send";
    }
  });
}

// Runs only inside the process that the next test starts; RK_EXPECTED_KIND
// names the kind that its first Initialize must choose.
TEST(IcmpEchoPosix, DISABLED_FirstInitializeChoosesExpectedKind) {
  const char* expected = std::getenv("RK_EXPECTED_KIND");
  ASSERT_NE(expected, nullptr);
  IcmpEchoService service;
  ASSERT_TRUE(service.Initialize());
  EXPECT_STREQ(Name(ChosenIcmpSocketKind()), expected);
}

TEST(IcmpEchoPosix, ServicePrefersThePingSocketWhenAllowed) {
  // A new process for each case: the first Initialize of a process decides
  // for good, and this one may have decided already.
  const auto runFreshProcess = [](const char* expected) {
    setenv("RK_EXPECTED_KIND", expected, 1);
    execl("/proc/self/exe", "icmp-child", "--gtest_brief=1", "--gtest_also_run_disabled_tests",
          "--gtest_filter=IcmpEchoPosix.DISABLED_FirstInitializeChoosesExpectedKind",
          static_cast<char*>(nullptr));
    ADD_FAILURE() << "could not start the test binary again";
  };
  InFreshNetworkNamespace(kPingSocketsAllowed, [&] { runFreshProcess("datagram"); });
  // No group may open ping sockets: as root the raw socket remains.
  InFreshNetworkNamespace({{"ping_group_range", "1 0"}}, [&] { runFreshProcess("raw"); });
}

}  // namespace
}  // namespace rk
