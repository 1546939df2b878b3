#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "probes/connect_batch.h"

namespace rk::connect_backend {

namespace {

std::string Describe(int error) { return std::strerror(error); }

constexpr ErrorCodes kCodes{ECONNREFUSED, EACCES, ETIMEDOUT, ENETUNREACH,
                            EHOSTUNREACH, EHOSTDOWN, Describe};

// The router's report that ended the handshake, as IP_RECVERR queues it:
// the ICMP type and code and the reporting router (SO_EE_OFFENDER).
// Reading the queue resets the socket's pending error, so it comes second.
bool ReadQueuedReport(int fd, uint8_t& type, uint8_t& code, uint32_t& reporter) {
  std::array<uint8_t, 256> original{};
  alignas(cmsghdr) std::array<char, 512> control{};
  iovec part{original.data(), original.size()};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control.data();
  message.msg_controllen = control.size();
  if (recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return false;
  for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
       entry = CMSG_NXTHDR(&message, entry)) {
    if (entry->cmsg_level != SOL_IP || entry->cmsg_type != IP_RECVERR) continue;
    const std::size_t dataLength = entry->cmsg_len - CMSG_LEN(0);
    sock_extended_err report{};
    sockaddr_in offender{};
    if (dataLength < sizeof report + sizeof offender) continue;
    std::memcpy(&report, CMSG_DATA(entry), sizeof report);
    std::memcpy(&offender, CMSG_DATA(entry) + sizeof report, sizeof offender);
    if (report.ee_origin != SO_EE_ORIGIN_ICMP || offender.sin_family != AF_INET) continue;
    type = report.ee_type;
    code = report.ee_code;
    reporter = offender.sin_addr.s_addr;
    return true;
  }
  return false;
}

}  // namespace

Begun BeginConnect(uint32_t address, uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) return BegunAfterConnect(TcpSocket(), errno, false, kCodes);
  TcpSocket owned(fd);
  // The routers' reports about the handshake are queued with their sender.
  const int on = 1;
  (void)setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(port);
  const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
  const int error = connected ? 0 : errno;
  return BegunAfterConnect(std::move(owned), error, error == EINPROGRESS || error == EINTR, kCodes);
}

void WaitAny(const std::vector<intptr_t>& handles, uint32_t waitMs, std::vector<std::size_t>& ready) {
  ready.clear();
  std::vector<pollfd> watched;
  watched.reserve(handles.size());
  for (const intptr_t handle : handles) watched.push_back({static_cast<int>(handle), POLLOUT, 0});
  const int count = poll(watched.data(), watched.size(), static_cast<int>(waitMs));
  if (count <= 0) return;
  for (std::size_t i = 0; i < watched.size(); ++i)
    if (watched[i].revents != 0) ready.push_back(i);
}

ConnectSettlement ReadOutcome(intptr_t handle, uint32_t target) {
  const int fd = static_cast<int>(handle);
  // The events first: reading SO_ERROR clears the error. A hang-up (the
  // socket closed) is a failure whatever is left to read; an error event
  // with no pending error only says that reports are queued.
  pollfd events{fd, POLLOUT, 0};
  const bool hungUp = poll(&events, 1, 0) > 0 && (events.revents & POLLHUP) != 0;
  int pending = 0;
  socklen_t length = sizeof pending;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) pending = errno;
  QueuedReport report;
  // Only the last report counts: the one that ended the handshake.
  for (int i = 0; i < 8; ++i) {
    QueuedReport next;
    if (!ReadQueuedReport(fd, next.type, next.code, next.sender)) break;
    next.present = true;
    report = next;
  }
  return SettlementOf(pending, hungUp, report, target, kCodes);
}

}  // namespace rk::connect_backend
