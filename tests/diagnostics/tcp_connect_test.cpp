#include "diagnostics/tcp_connect.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/socket_startup.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
constexpr NativeSocket kNoSocket = INVALID_SOCKET;
void CloseNative(NativeSocket s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
constexpr NativeSocket kNoSocket = -1;
void CloseNative(NativeSocket s) { close(s); }
#endif

namespace rk {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A TCP socket bound to 127.0.0.1 on a port of the system's choosing,
// listening with `backlog` or, with no backlog, bound only (so that a
// connection to its port is refused).
class LoopbackPort {
 public:
  explicit LoopbackPort(int backlog = -1) {
    EXPECT_TRUE(EnsureSocketsStarted());
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(socket_, kNoSocket);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    EXPECT_EQ(getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    port_ = ntohs(address.sin_port);
    if (backlog >= 0) {
      EXPECT_EQ(listen(socket_, backlog), 0);
    }
  }
  ~LoopbackPort() {
    if (socket_ != kNoSocket) CloseNative(socket_);
  }
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;

  [[nodiscard]] int32_t port() const { return port_; }

 private:
  NativeSocket socket_ = kNoSocket;
  int32_t port_ = 0;
};

// A listener whose accept queue is full: further handshakes are left
// unanswered, so a connection attempt to it waits out its whole time.
class StalledListener {
 public:
  StalledListener() : port_(0) {
    // A queue of one; fill it until an attempt stalls (at most a few tries).
    for (int i = 0; i < 8; ++i) {
      TcpSocket connection = ConnectWithTimeout("127.0.0.1", port_.port(), 300);
      if (!connection.valid()) {
        stalled_ = true;
        break;
      }
      held_.push_back(std::move(connection));
    }
  }
  [[nodiscard]] bool stalled() const { return stalled_; }
  [[nodiscard]] int32_t port() const { return port_.port(); }

 private:
  LoopbackPort port_;
  std::vector<TcpSocket> held_;
  bool stalled_ = false;
};

TEST(TcpConnect, OpenPortConnectsOnItsLow16Bits) {
  LoopbackPort listener(16);
  struct Row {
    const char* name;
    int32_t port;
  };
  const Row rows[] = {
      {"the port itself", listener.port()},
      {"plus 65536", listener.port() + 65536},
      {"plus 3 * 65536", listener.port() + 3 * 65536},
      {"negative with the same low bits", listener.port() - 65536},
  };
  for (const Row& row : rows) {
    TcpSocket connection = ConnectWithTimeout("127.0.0.1", row.port, 2000);
    EXPECT_TRUE(connection.valid()) << row.name << " (" << row.port << ")";
  }
}

TEST(TcpConnect, RefusedPortFails) {
  LoopbackPort boundOnly;
#ifdef _WIN32
  // Windows signals a refusal only in the exception set, which is not
  // watched: the attempt fails when its time is up.
  const uint32_t limit = 500;
#else
  // The pending error is read as soon as the socket settles: no waiting.
  const uint32_t limit = kConnectTimeoutMs;
#endif
  const auto start = Clock::now();
  const TcpSocket connection = ConnectWithTimeout("127.0.0.1", boundOnly.port(), limit);
  EXPECT_FALSE(connection.valid());
#ifndef _WIN32
  EXPECT_LT(MsSince(start), 1000) << "a refused port is reported at once";
#else
  (void)start;
#endif
}

TEST(TcpConnect, UnansweredAttemptEndsAtItsTimeOut) {
  StalledListener listener;
  ASSERT_TRUE(listener.stalled());
  const auto start = Clock::now();
  const TcpSocket connection = ConnectWithTimeout("127.0.0.1", listener.port(), 400);
  const auto elapsed = MsSince(start);
  EXPECT_FALSE(connection.valid());
  EXPECT_GE(elapsed, 400);
  EXPECT_LT(elapsed, 3000);
}

TEST(TcpConnect, StopFlagEndsTheWaitEarly) {
  StalledListener listener;
  ASSERT_TRUE(listener.stalled());

  StopFlag alreadySet{true};
  auto start = Clock::now();
  EXPECT_FALSE(
      ConnectWithTimeout("127.0.0.1", listener.port(), kConnectTimeoutMs, &alreadySet).valid());
  EXPECT_LT(MsSince(start), 500);

  StopFlag stop{false};
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    stop = true;
  });
  start = Clock::now();
  const TcpSocket connection =
      ConnectWithTimeout("127.0.0.1", listener.port(), kConnectTimeoutMs, &stop);
  const auto elapsed = MsSince(start);
  stopper.join();
  EXPECT_FALSE(connection.valid());
  EXPECT_GE(elapsed, 100);
  EXPECT_LT(elapsed, 150 + 1000) << "the 10 s wait ended soon after the stop";
}

TEST(TcpConnect, SocketOwnershipMovesAndClosesOnce) {
  LoopbackPort listener(16);
  TcpSocket first = ConnectWithTimeout("127.0.0.1", listener.port(), 2000);
  ASSERT_TRUE(first.valid());
  TcpSocket second(std::move(first));
  EXPECT_FALSE(
      first.valid());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  EXPECT_TRUE(second.valid());
  TcpSocket third;
  third = std::move(second);
  EXPECT_FALSE(second.valid());  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(third.valid());
  third.Close();
  EXPECT_FALSE(third.valid());
  third.Close();
  EXPECT_FALSE(third.valid());
}

}  // namespace
}  // namespace rk
