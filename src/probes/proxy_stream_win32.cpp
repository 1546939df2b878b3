#include <winsock2.h>

#include <algorithm>

#include "probes/proxy_stream.h"
#include "probes/socket_win32.h"

namespace rk::proxy {

namespace {

// Waits until the socket is readable or writable (as asked) or in the
// exception set, which the next call then reports; false when the deadline
// passes or stop is set.
bool WaitFor(SOCKET handle, bool forWrite, Deadline deadline, const StopFlag* stop) {
  // A failed select counts as ready: the I/O call then names the error.
  return win32::WaitOnSocket(handle, forWrite, deadline, stop) != win32::SocketWait::TimeUp;
}

}  // namespace

IoStatus SendAll(const TcpSocket& socket, std::span<const uint8_t> bytes, Deadline deadline,
                 const StopFlag* stop) {
  const auto handle = static_cast<SOCKET>(socket.native());
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (!WaitFor(handle, true, deadline, stop)) return IoStatus::TimedOut;
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 16));
    const int n = send(handle, reinterpret_cast<const char*>(bytes.data() + sent), chunk, 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
      return IoStatus::Failed;
    }
  }
  return IoStatus::Done;
}

IoStatus ReceiveSome(const TcpSocket& socket, std::vector<uint8_t>& out, std::size_t limit,
                     Deadline deadline, const StopFlag* stop) {
  const auto handle = static_cast<SOCKET>(socket.native());
  const std::size_t before = out.size();
  const int chunk = static_cast<int>(std::min<std::size_t>(limit, 1 << 16));
  out.resize(before + static_cast<std::size_t>(chunk));
  for (;;) {
    if (!WaitFor(handle, false, deadline, stop)) {
      out.resize(before);
      return IoStatus::TimedOut;
    }
    const int n = recv(handle, reinterpret_cast<char*>(out.data() + before), chunk, 0);
    if (n > 0) {
      out.resize(before + static_cast<std::size_t>(n));
      return IoStatus::Done;
    }
    if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
      out.resize(before);
      return n == 0 ? IoStatus::Closed : IoStatus::Failed;
    }
  }
}

}  // namespace rk::proxy
