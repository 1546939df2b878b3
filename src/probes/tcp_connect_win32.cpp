#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "probes/connect_batch.h"
#include "probes/socket_startup.h"
#include "probes/tcp_connect.h"

namespace rk {

void TcpSocket::Close() {
  if (handle_ == kInvalid) return;
  const auto socketHandle = static_cast<SOCKET>(handle_);
  handle_ = kInvalid;
  (void)shutdown(socketHandle, SD_BOTH);
  (void)closesocket(socketHandle);
}

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the attempt to settle, in slices of at most kStopPollMs that add
// up to the time-out, so that `stop` is honoured promptly. Windows puts an
// established connection in the write set and a failed attempt (refused,
// unreachable) in the exception set; both end the wait, and the socket's
// pending error then decides. False when the time is up or `stop` was set.
bool WaitSettled(SOCKET socketHandle, Clock::time_point deadline, const StopFlag* stop) {
  for (;;) {
    if (stop != nullptr && stop->load()) return false;
    const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    const auto slice = std::min<std::chrono::microseconds::rep>(left.count(), kStopPollMs * 1000LL);
    timeval wait{};
    wait.tv_sec = static_cast<long>(slice / 1000000);
    wait.tv_usec = static_cast<long>(slice % 1000000);
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socketHandle, &writable);
    FD_SET(socketHandle, &failed);
    const int ready = select(0, nullptr, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR) return false;
    if (ready > 0) return true;
  }
}

}  // namespace

TcpSocket ConnectWithTimeout(const std::string& ipText, int32_t tcpPort, uint32_t timeoutMs,
                             const StopFlag* stop) {
  if (!EnsureSocketsStarted()) return TcpSocket{};
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const SOCKET socketHandle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socketHandle == INVALID_SOCKET) return TcpSocket{};
  TcpSocket connection(static_cast<intptr_t>(socketHandle));

  u_long nonBlocking = 1;
  // FIONBIO is an unsigned constant that mingw's ioctlsocket takes as long.
  constexpr auto kNonBlockingCommand = static_cast<long>(static_cast<unsigned long>(FIONBIO));
  (void)ioctlsocket(socketHandle, kNonBlockingCommand, &nonBlocking);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = inet_addr(ipText.c_str());
  to.sin_port = htons(static_cast<u_short>(static_cast<uint32_t>(tcpPort) & 0xFFFFu));
  // The immediate answer is normally "would block"; the wait decides.
  (void)connect(socketHandle, reinterpret_cast<const sockaddr*>(&to), sizeof to);

  if (!WaitSettled(socketHandle, deadline, stop)) return TcpSocket{};
  // The check's rule decides whether the attempt is established.
  if (connect_backend::ReadOutcome(static_cast<intptr_t>(socketHandle), to.sin_addr.s_addr)
          .outcome != ConnectOutcome::Open)
    return TcpSocket{};
  return connection;
}

}  // namespace rk
