#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "probes/proxy_stream.h"

namespace rk::proxy {

namespace {

// Waits until `events` is signalled (or an error or hang-up, which the next
// call reports); false when the deadline passes or stop is set.
bool WaitFor(int fd, short events, Deadline deadline, const StopFlag* stop) {
  for (;;) {
    if (stop != nullptr && stop->load()) return false;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int slice =
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), kStopPollMs));
    pollfd waiting{fd, events, 0};
    const int ready = poll(&waiting, 1, slice);
    if (ready < 0 && errno != EINTR) return true;  // the I/O call then names the error
    if (ready > 0) return true;
  }
}

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

}  // namespace

IoStatus SendAll(const TcpSocket& socket, std::span<const uint8_t> bytes, Deadline deadline,
                 const StopFlag* stop) {
  const int fd = static_cast<int>(socket.native());
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (!WaitFor(fd, POLLOUT, deadline, stop)) return IoStatus::TimedOut;
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && !WouldBlock()) {
      return IoStatus::Failed;
    }
  }
  return IoStatus::Done;
}

IoStatus ReceiveSome(const TcpSocket& socket, std::vector<uint8_t>& out, std::size_t limit,
                     Deadline deadline, const StopFlag* stop) {
  const int fd = static_cast<int>(socket.native());
  const std::size_t before = out.size();
  out.resize(before + limit);
  for (;;) {
    if (!WaitFor(fd, POLLIN, deadline, stop)) {
      out.resize(before);
      return IoStatus::TimedOut;
    }
    const ssize_t n = recv(fd, out.data() + before, limit, 0);
    if (n > 0) {
      out.resize(before + static_cast<std::size_t>(n));
      return IoStatus::Done;
    }
    if (n == 0 || !WouldBlock()) {
      out.resize(before);
      return n == 0 ? IoStatus::Closed : IoStatus::Failed;
    }
  }
}

}  // namespace rk::proxy
