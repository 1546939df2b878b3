#include "probes/idle_connection.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/os_probe.h"

namespace rk {
namespace {

// A loopback listener whose accepted side the test ends as it likes.
struct IdleServer {
  testing::LoopbackListener listener{4};
  int accepted = -1;
  ~IdleServer() { if (accepted >= 0) close(accepted); }
  TcpSocket Connect() {
    TcpSocket socket = ConnectWithTimeout("127.0.0.1", listener.port(), 2000);
    accepted = accept(static_cast<int>(listener.native()), nullptr, nullptr);
    return socket;
  }
};

IdleEnd WaitForEnd(const TcpSocket& socket, int tries = 100) {
  for (int i = 0; i < tries; ++i) {
    const IdleEnd end = PollIdle(socket);
    if (end != IdleEnd::None) return end;
    usleep(10'000);
  }
  return IdleEnd::None;
}

// Catches: a greeting or silence read as an end, an orderly close told as a
// reset or the reverse, keepalive refused on an ordinary connection.
TEST(IdleConnectionTest, TellsOpenClosedAndResetApartWithoutWaiting) {
  {
    IdleServer server;
    const TcpSocket socket = server.Connect();
    ASSERT_TRUE(socket.valid());
    EXPECT_TRUE(EnableKeepalive(socket, 120, 10));
    ASSERT_EQ(write(server.accepted, "220 hello\r\n", 11), 11);
    EXPECT_EQ(WaitForEnd(socket, 20), IdleEnd::None);  // a greeting is read and dropped
    close(server.accepted);
    server.accepted = -1;
    EXPECT_EQ(WaitForEnd(socket), IdleEnd::Closed);
  }
  {
    IdleServer server;
    const TcpSocket socket = server.Connect();
    const linger abort{1, 0};  // close with a reset
    ASSERT_EQ(setsockopt(server.accepted, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
    close(server.accepted);
    server.accepted = -1;
    EXPECT_EQ(WaitForEnd(socket), IdleEnd::Reset);
  }
}

}  // namespace
}  // namespace rk
