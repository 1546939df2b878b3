#include "diagnostics/tcp_connect.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/os_probe.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>
#endif

namespace rk {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ClosedLoopbackPort;
using testing::LoopbackListener;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(TcpConnect, OpenPortConnectsOnItsLow16BitsAndARefusedOneFails) {
  LoopbackListener listener;
  for (const int32_t port : {listener.port(), listener.port() + 65536, listener.port() - 65536})
    EXPECT_TRUE(ConnectWithTimeout("127.0.0.1", port, 2000).valid()) << port;
#ifdef _WIN32
  // Windows reports a refusal only in the exception set: it fails at the limit.
  EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", ClosedLoopbackPort(), 500).valid());
#else
  const auto start = Clock::now();
  EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", ClosedLoopbackPort()).valid());
  EXPECT_LT(MsSince(start), 1000) << "a refused port is reported at once, not after 10 s";
#endif
}

TEST(TcpConnect, UnansweredAttemptEndsAtTheStopFlag) {
  // A listener that never accepts: once its queue is full, handshakes go unanswered.
  LoopbackListener listener;
  std::vector<TcpSocket> held;
  while (held.size() < 200) {
    TcpSocket connection = ConnectWithTimeout("127.0.0.1", listener.port(), 300);
    if (!connection.valid()) break;
    held.push_back(std::move(connection));
  }
  ASSERT_LT(held.size(), 200u) << "the listener never stalled";
  StopFlag stop{false};
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    stop = true;
  });
  const auto start = Clock::now();
  EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", listener.port(), kConnectTimeoutMs, &stop).valid());
  const long long elapsed = MsSince(start);
  stopper.join();
  EXPECT_GE(elapsed, 100);
  EXPECT_LT(elapsed, 1150) << "the 10 s wait ended soon after the stop";
}

#ifndef _WIN32
TEST(TcpConnect, ThousandAttemptsLeaveNoDescriptorOpen) {
  LoopbackListener listener;  // never accepts: 50 connections stay within its queue
  const int refused = ClosedLoopbackPort();
  const int before = testing::OpenHandleCount();
  for (int i = 0; i < 1000; ++i) {
    const bool open = i % 20 == 0;
    EXPECT_EQ(ConnectWithTimeout("127.0.0.1", open ? listener.port() : refused, 2000).valid(), open)
        << "attempt " << i;
  }
  EXPECT_EQ(testing::OpenHandleCount(), before);
}

TEST(TcpConnect, DescriptorsAboveFdSetSizeStillConnectAndRefuse) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  rlimit raised = limit;
  raised.rlim_cur = std::max<rlim_t>(limit.rlim_cur, FD_SETSIZE + 64);
  if (limit.rlim_max < raised.rlim_cur) GTEST_SKIP() << "the descriptor limit is too low";
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  std::vector<int> filler;
  while (filler.size() < FD_SETSIZE) filler.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
  ASSERT_GE(filler.back(), FD_SETSIZE - 1);
  {
    LoopbackListener listener;
    EXPECT_TRUE(ConnectWithTimeout("127.0.0.1", listener.port(), 2000).valid());
    EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", ClosedLoopbackPort(), 2000).valid());
  }
  for (const int fd : filler) close(fd);
  setrlimit(RLIMIT_NOFILE, &limit);
}
#endif

}  // namespace
}  // namespace rk
