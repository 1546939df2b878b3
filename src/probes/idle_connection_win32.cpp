#include <winsock2.h>
#include <mstcpip.h>

#include "base/format.h"
#include "probes/idle_connection.h"

namespace rk {

bool EnableKeepalive(const TcpSocket& socket, uint32_t idleSeconds, uint32_t intervalSeconds) {
  // Windows sends 10 probes before it gives up (not settable before Windows 10).
  tcp_keepalive values{};
  values.onoff = 1;
  values.keepalivetime = idleSeconds * 1000;
  values.keepaliveinterval = intervalSeconds * 1000;
  DWORD returned = 0;
  return WSAIoctl(static_cast<SOCKET>(socket.native()), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0,
                  &returned, nullptr, nullptr) == 0;
}

IdleEnd PollIdle(const TcpSocket& socket, std::string* reason) {
  char buffer[512];
  for (int reads = 0; reads < 64; ++reads) {  // the socket is non-blocking (ConnectWithTimeout's)
    const int got = recv(static_cast<SOCKET>(socket.native()), buffer, sizeof buffer, 0);
    if (got > 0) continue;
    if (got == 0) return IdleEnd::Closed;
    const int error = WSAGetLastError();
    switch (error) {
      case WSAEWOULDBLOCK:
      case WSAEINTR:
        return IdleEnd::None;
      case WSAECONNRESET:
      case WSAECONNABORTED:
        return IdleEnd::Reset;
      case WSAETIMEDOUT:
      case WSAENETRESET:
      case WSAEHOSTUNREACH:
      case WSAENETUNREACH:
        return IdleEnd::KeepaliveFailed;
      default:
        if (reason != nullptr) *reason = Format("Windows Sockets error %d", error);
        return IdleEnd::Error;
    }
  }
  return IdleEnd::None;
}

}  // namespace rk
