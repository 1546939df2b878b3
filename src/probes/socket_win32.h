#pragma once
// What the Windows Sockets backends (tcp_connect_win32, connect_batch_win32,
// proxy_stream_win32) share: starting a non-blocking connection, and a wait
// on one socket that honours a stop request. Windows only.
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "probes/stop_flag.h"

namespace rk::win32 {

// Makes `handle` non-blocking and starts its connection to `address` (network
// byte order) on `port`; the connect call's answer: 0 when connected at once,
// else the error (normally WSAEWOULDBLOCK, and the wait decides).
inline int StartConnect(SOCKET handle, uint32_t address, uint16_t port) {
  u_long nonBlocking = 1;
  // FIONBIO is an unsigned constant that mingw's ioctlsocket takes as long.
  constexpr auto kNonBlockingCommand = static_cast<long>(static_cast<unsigned long>(FIONBIO));
  (void)ioctlsocket(handle, kNonBlockingCommand, &nonBlocking);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  return connect(handle, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
             ? 0
             : WSAGetLastError();
}

enum class SocketWait { Ready, TimeUp, Failed };

// Waits until `handle` is in the write set (forWrite) or the read set, or in
// the exception set, in slices of at most kStopPollMs. TimeUp when the
// deadline passes or `stop` is set; Failed when select itself fails.
inline SocketWait WaitOnSocket(SOCKET handle, bool forWrite,
                               std::chrono::steady_clock::time_point deadline,
                               const StopFlag* stop) {
  for (;;) {
    if (stop != nullptr && stop->load()) return SocketWait::TimeUp;
    const auto left = std::chrono::ceil<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return SocketWait::TimeUp;
    const auto slice = std::min<std::chrono::microseconds::rep>(left.count(), kStopPollMs * 1000LL);
    timeval wait{};
    wait.tv_sec = static_cast<long>(slice / 1000000);
    wait.tv_usec = static_cast<long>(slice % 1000000);
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(handle, &ready);
    FD_SET(handle, &failed);
    const int count = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed,
                             &wait);
    if (count == SOCKET_ERROR) return SocketWait::Failed;
    if (count > 0) return SocketWait::Ready;
  }
}

}  // namespace rk::win32
