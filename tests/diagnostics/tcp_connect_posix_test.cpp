#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "diagnostics/tcp_connect.h"

namespace rk {
namespace {

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(TcpConnectPosix, NoDescriptorLeaksOverAThousandAttempts) {
  // A listener that accepts and closes, and a bound port that refuses.
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int refuser = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  ASSERT_GE(refuser, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int openPort = ntohs(address.sin_port);
  address.sin_port = 0;
  ASSERT_EQ(bind(refuser, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(refuser, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int refusedPort = ntohs(address.sin_port);
  ASSERT_EQ(listen(listener, 64), 0);

  std::atomic<bool> done{false};
  std::thread acceptor([&] {
    while (!done) {
      const int accepted = accept(listener, nullptr, nullptr);
      if (accepted >= 0) close(accepted);
    }
  });

  const std::size_t before = OpenDescriptors();
  int connected = 0;
  for (int i = 0; i < 1000; ++i) {
    const bool open = i % 2 == 0;
    TcpSocket connection = ConnectWithTimeout("127.0.0.1", open ? openPort : refusedPort, 2000);
    if (connection.valid()) ++connected;
    EXPECT_EQ(connection.valid(), open) << "attempt " << i;
  }
  EXPECT_EQ(connected, 500);
  EXPECT_EQ(OpenDescriptors(), before);

  done = true;
  shutdown(listener, SHUT_RDWR);  // wakes the blocked accept
  acceptor.join();
  close(listener);
  close(refuser);
}

TEST(TcpConnectPosix, WorksWithDescriptorsAboveFdSetSize) {
  // A busy process can hand out descriptors past select's limit; the wait
  // must still see them.
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlim_t needed = FD_SETSIZE + 64;
  if (limit.rlim_cur < needed) {
    if (limit.rlim_max < needed) GTEST_SKIP() << "the descriptor limit is below " << needed;
    rlimit raised = limit;
    raised.rlim_cur = needed;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  }
  std::vector<int> filler;
  while (filler.size() < FD_SETSIZE) {
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    filler.push_back(fd);
  }

  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int refuser = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, FD_SETSIZE);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int openPort = ntohs(address.sin_port);
  address.sin_port = 0;
  ASSERT_EQ(bind(refuser, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(refuser, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int refusedPort = ntohs(address.sin_port);
  ASSERT_EQ(listen(listener, 4), 0);

  EXPECT_TRUE(ConnectWithTimeout("127.0.0.1", openPort, 2000).valid());
  EXPECT_FALSE(ConnectWithTimeout("127.0.0.1", refusedPort, 2000).valid());

  close(listener);
  close(refuser);
  for (const int fd : filler) close(fd);
  (void)setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace
}  // namespace rk
