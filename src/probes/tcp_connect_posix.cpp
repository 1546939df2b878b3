#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "probes/connect_batch.h"
#include "probes/tcp_connect.h"

namespace rk {

void TcpSocket::Close() {
  if (handle_ == kInvalid) return;
  const int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  (void)shutdown(fd, SHUT_RDWR);
  (void)close(fd);
}

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the connection to settle (writable, or failed) up to `deadline`,
// looking at `stop` at least every kStopPollMs. poll, not select: a
// descriptor may lie above FD_SETSIZE in a busy process.
bool WaitSettled(int fd, Clock::time_point deadline, const StopFlag* stop) {
  for (;;) {
    if (stop != nullptr && stop->load()) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    const int slice =
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), kStopPollMs));
    pollfd waiting{fd, POLLOUT, 0};
    const int ready = poll(&waiting, 1, slice);
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0) return true;
  }
}

}  // namespace

TcpSocket ConnectWithTimeout(const std::string& ipText, int32_t tcpPort, uint32_t timeoutMs,
                             const StopFlag* stop) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) return TcpSocket{};
  TcpSocket connection(fd);

  sockaddr_in to{};
  to.sin_family = AF_INET;
  // inet_addr as the address conversion, like the Windows build: a text it
  // cannot read becomes 255.255.255.255, which no connection reaches.
  to.sin_addr.s_addr = inet_addr(ipText.c_str());
  to.sin_port = htons(static_cast<uint16_t>(static_cast<uint32_t>(tcpPort) & 0xFFFFu));
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return connection;
  if (errno != EINPROGRESS && errno != EINTR) return TcpSocket{};

  if (!WaitSettled(fd, deadline, stop)) return TcpSocket{};
  // A refused or failed attempt makes the socket writable too; the check's
  // rule decides whether this one is established.
  if (connect_backend::ReadOutcome(fd, to.sin_addr.s_addr).outcome != ConnectOutcome::Open)
    return TcpSocket{};
  return connection;
}

}  // namespace rk
