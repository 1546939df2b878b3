#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "probes/connect_batch.h"
#include "probes/socket_startup.h"
#include "probes/socket_win32.h"
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
  return win32::WaitOnSocket(socketHandle, true, deadline, stop) == win32::SocketWait::Ready;
}

}  // namespace

TcpSocket ConnectWithTimeout(const std::string& ipText, int32_t tcpPort, uint32_t timeoutMs,
                             const StopFlag* stop) {
  if (!EnsureSocketsStarted()) return TcpSocket{};
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const SOCKET socketHandle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socketHandle == INVALID_SOCKET) return TcpSocket{};
  TcpSocket connection(static_cast<intptr_t>(socketHandle));

  // The immediate answer is normally "would block"; the wait decides.
  const uint32_t target = inet_addr(ipText.c_str());
  (void)win32::StartConnect(socketHandle, target,
                            static_cast<uint16_t>(static_cast<uint32_t>(tcpPort) & 0xFFFFu));

  if (!WaitSettled(socketHandle, deadline, stop)) return TcpSocket{};
  // The check's rule decides whether the attempt is established.
  if (connect_backend::ReadOutcome(static_cast<intptr_t>(socketHandle), target)
          .outcome != ConnectOutcome::Open)
    return TcpSocket{};
  return connection;
}

}  // namespace rk
