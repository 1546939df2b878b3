#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string.h>
#include <sys/socket.h>

#include "probes/idle_connection.h"

namespace rk {

bool EnableKeepalive(const TcpSocket& socket, uint32_t idleSeconds, uint32_t intervalSeconds) {
  const int fd = static_cast<int>(socket.native());
  const int on = 1, idle = static_cast<int>(idleSeconds), interval = static_cast<int>(intervalSeconds), count = 3;
  return setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
         setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
         setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
         setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0;
}

IdleEnd PollIdle(const TcpSocket& socket, std::string* reason) {
  char buffer[512];
  for (int reads = 0; reads < 64; ++reads) {  // a talkative server cannot hold the caller
    const ssize_t got = recv(static_cast<int>(socket.native()), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0) continue;
    if (got == 0) return IdleEnd::Closed;
    switch (errno) {
      case EAGAIN:
#if EWOULDBLOCK != EAGAIN
      case EWOULDBLOCK:
#endif
      case EINTR:
        return IdleEnd::None;
      case ECONNRESET:
      case EPIPE:
        return IdleEnd::Reset;
      case ETIMEDOUT:
      case EHOSTUNREACH:
      case ENETUNREACH:
        return IdleEnd::KeepaliveFailed;
      default:
        if (reason != nullptr) *reason = strerror(errno);
        return IdleEnd::Error;
    }
  }
  return IdleEnd::None;
}

}  // namespace rk
