#include "probes/tcp_connect.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/os_probe.h"
#include "support/test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>
#endif

namespace rk {
namespace {

using testing::Clock;
using testing::ClosedLoopbackPort;
using testing::LoopbackListener;
using testing::MsSince;

TEST(TcpConnect, OpenPortConnectsOnItsLow16BitsAndARefusedOneFails) {
  LoopbackListener listener;
  for (const int32_t port : {listener.port(), listener.port() + 65536, listener.port() - 65536})
    EXPECT_TRUE(ConnectWithTimeout("127.0.0.1", port, 2000).valid()) << port;
  // Windows flags the refusal in the exception set; both builds report it at once.
  const auto start = Clock::now();
  EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", ClosedLoopbackPort()).valid());
  EXPECT_LT(MsSince(start), 1000) << "a refused port is reported at once, not after 10 s";
}

TEST(TcpConnect, UnansweredAttemptEndsAtTheStopFlag) {
  const testing::StalledListener listener;
  ASSERT_TRUE(listener.stalled());
  StopFlag stop{false};
  const testing::StopAfter stopper(stop, 150);
  const auto start = Clock::now();
  EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", listener.port(), kConnectTimeoutMs, &stop).valid());
  const long long elapsed = MsSince(start);
  EXPECT_GE(elapsed, 100);
  EXPECT_LT(elapsed, 1150) << "the 10 s wait ended soon after the stop";
}

#ifndef _WIN32
// A busy process hands out descriptors past select's limit: the wait must still see them.
TEST(TcpConnect, AttemptsAboveFdSetSizeConnectRefuseAndLeaveNoDescriptorOpen) {
  rlimit limit{}, raised{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  raised = {std::max<rlim_t>(limit.rlim_cur, FD_SETSIZE + 64), limit.rlim_max};
  if (setrlimit(RLIMIT_NOFILE, &raised) != 0) GTEST_SKIP() << "the descriptor limit is too low";
  std::vector<int> filler;
  while (filler.size() < FD_SETSIZE) filler.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
  ASSERT_GE(filler.back(), FD_SETSIZE - 1);
  {
    LoopbackListener listener;  // never accepts: 50 connections stay within its queue
    const int refused = ClosedLoopbackPort();
    const int before = testing::OpenHandleCount();
    for (int i = 0; i < 200; ++i) {
      const bool open = i % 20 == 0;
      EXPECT_EQ(ConnectWithTimeout("127.0.0.1", open ? listener.port() : refused, 2000).valid(),
                open) << "attempt " << i;
    }
    EXPECT_EQ(testing::OpenHandleCount(), before);
  }
  for (const int fd : filler) close(fd);
  setrlimit(RLIMIT_NOFILE, &limit);
}
#endif

}  // namespace
}  // namespace rk
