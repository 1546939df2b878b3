#include "probes/icmp_echo_posix.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "probes/icmp_echo.h"
#include "probes/icmp_packet.h"

namespace rk {

namespace {

using Clock = std::chrono::steady_clock;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  [[nodiscard]] bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

int OpenIcmpSocket(IcmpSocketKind kind) {
  const int type = kind == IcmpSocketKind::Datagram ? SOCK_DGRAM : SOCK_RAW;
  return socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
}

// A raw socket sees every ICMP message the host receives, so our requests
// carry the process id to tell our answers from those of other programs. A
// datagram socket's id is the kernel's.
uint16_t ProcessEchoId() {
  return static_cast<uint16_t>(static_cast<unsigned>(getpid()) & 0xFFFFu);
}

uint16_t NextSequence() {
  static std::atomic<uint16_t> next{1};
  return next.fetch_add(1);
}

uint32_t MapSendError(int error) {
  switch (error) {
    case ENETUNREACH:
      return kIpDestNetUnreachable;
    case EHOSTUNREACH:
      return kIpDestHostUnreachable;
    default:
      return kIpGeneralFailure;
  }
}

uint32_t ElapsedWholeMs(Clock::time_point start) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  return static_cast<uint32_t>(std::max<std::chrono::milliseconds::rep>(ms.count(), 0));
}

// Reads one datagram (raw: IP header included; ping socket: ICMP only) and
// says whether it answers `probe`.
std::optional<icmp::ProbeAnswer> ReceiveAnswer(int fd, IcmpSocketKind kind,
                                               const icmp::Probe& probe) {
  // Echo replies are at most 60 + 8 + 255 bytes and error reports at most
  // 576; a longer datagram is cut, and the parser only reads what arrived.
  std::array<uint8_t, 2048> buffer{};
  sockaddr_in from{};
  socklen_t fromLength = sizeof from;
  const ssize_t received = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (received <= 0) return std::nullopt;
  const std::span<const uint8_t> bytes(buffer.data(), static_cast<std::size_t>(received));
  if (kind == IcmpSocketKind::Raw) return icmp::MatchRawReply(bytes, probe);
  if (fromLength < sizeof from || from.sin_family != AF_INET) return std::nullopt;
  return icmp::MatchDatagramReply(bytes, from.sin_addr.s_addr, probe);
}

// A ping socket with IP_RECVERR queues the routers' reports about its
// requests: the report's origin, the reporting router (the offender) and the
// original request.
std::optional<icmp::ProbeAnswer> ReceiveQueuedError(int fd, const icmp::Probe& probe) {
  std::array<uint8_t, 512> original{};
  alignas(cmsghdr) std::array<char, 512> control{};
  sockaddr_in target{};
  iovec part{original.data(), original.size()};
  msghdr message{};
  message.msg_name = &target;
  message.msg_namelen = sizeof target;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control.data();
  message.msg_controllen = control.size();
  const ssize_t received = recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
  if (received < 0) return std::nullopt;
  if (message.msg_namelen < sizeof target || target.sin_addr.s_addr != probe.destination)
    return std::nullopt;
  if (!icmp::IsOurQueuedRequest({original.data(), static_cast<std::size_t>(received)}, probe))
    return std::nullopt;

  for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
       entry = CMSG_NXTHDR(&message, entry)) {
    if (entry->cmsg_level != SOL_IP || entry->cmsg_type != IP_RECVERR) continue;
    const std::size_t dataLength = entry->cmsg_len - CMSG_LEN(0);
    if (dataLength < sizeof(sock_extended_err)) continue;
    sock_extended_err report{};
    std::memcpy(&report, CMSG_DATA(entry), sizeof report);
    if (report.ee_origin != SO_EE_ORIGIN_ICMP) continue;
    // The offender follows the report (SO_EE_OFFENDER).
    if (dataLength < sizeof report + sizeof(sockaddr_in)) continue;
    sockaddr_in offender{};
    std::memcpy(&offender, CMSG_DATA(entry) + sizeof report, sizeof offender);
    if (offender.sin_family != AF_INET) continue;
    if (report.ee_type != icmp::kTimeExceeded && report.ee_type != icmp::kDestinationUnreachable)
      continue;
    return icmp::ProbeAnswer{report.ee_type, report.ee_code, offender.sin_addr.s_addr};
  }
  return std::nullopt;
}

void ClearPendingError(int fd) {
  int pending = 0;
  socklen_t length = sizeof pending;
  (void)getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length);
}

struct ServiceState {
  std::mutex mutex;
  bool decided = false;
  bool available = false;
  IcmpSocketKind kind = IcmpSocketKind::Datagram;
};

ServiceState& State() {
  static ServiceState state;
  return state;
}

}  // namespace

bool CanOpenIcmpSocket(IcmpSocketKind kind) {
  const FileDescriptor probe(OpenIcmpSocket(kind));
  return probe.valid();
}

int SendEchoOver(IcmpSocketKind kind, uint32_t destination, EchoResult& result, int ttl,
                 uint32_t timeoutMs, int dataSize, int noOptions, const StopFlag* stop) {
  const FileDescriptor socketFd(OpenIcmpSocket(kind));
  if (!socketFd.valid()) return 0;
  const int fd = socketFd.get();

  // A time-to-live of 0 cannot leave the host; Linux refuses it as an option,
  // so such a request goes out with the default instead of failing.
  const int hopLimit = ttl & 0xFF;
  if (noOptions == 0 && hopLimit != 0)
    (void)setsockopt(fd, IPPROTO_IP, IP_TTL, &hopLimit, sizeof hopLimit);
  if (kind == IcmpSocketKind::Datagram) {
    const int on = 1;
    (void)setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
  }

  const icmp::Probe probe{destination, ProcessEchoId(), NextSequence()};
  const std::vector<uint8_t> request = icmp::BuildEchoRequest(
      probe.id, probe.sequence, static_cast<std::size_t>(static_cast<unsigned>(dataSize) & 0xFFu),
      kEchoPayloadByte);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;

  const Clock::time_point start = Clock::now();
  if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to) < 0) {
    result.errorCode = MapSendError(errno);
    return 1;
  }

  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (stop != nullptr && stop->load()) break;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const int slice =
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, kStopPollMs));
    pollfd waiting{fd, POLLIN, 0};
    const int ready = poll(&waiting, 1, slice);
    if (ready < 0 && errno != EINTR) {
      result.errorCode = kIpGeneralFailure;
      return 1;
    }
    if (ready > 0) {
      std::optional<icmp::ProbeAnswer> answer;
      if ((waiting.revents & POLLERR) != 0) {
        if (kind == IcmpSocketKind::Datagram) answer = ReceiveQueuedError(fd, probe);
        if (!answer) ClearPendingError(fd);
      }
      if (!answer && (waiting.revents & POLLIN) != 0) answer = ReceiveAnswer(fd, kind, probe);
      if (answer) {
        result.roundTripMs = ElapsedWholeMs(start);
        result.replyAddress = answer->answerer;
        result.unreachable = answer->type == icmp::kDestinationUnreachable;
        return 1;
      }
    }
    if (Clock::now() >= deadline) break;
  }
  result.errorCode = kIpReqTimedOut;
  return 1;
}

bool IcmpEchoService::Initialize() {
  ServiceState& state = State();
  const std::lock_guard lock(state.mutex);
  if (!state.decided) {
    state.decided = true;
    // The ping socket first: it needs no privilege where the administrator
    // allows it and sees only its own answers.
    for (const IcmpSocketKind kind : {IcmpSocketKind::Datagram, IcmpSocketKind::Raw}) {
      if (CanOpenIcmpSocket(kind)) {
        state.kind = kind;
        state.available = true;
        break;
      }
    }
  }
  return state.available;
}

int IcmpEchoService::SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs,
                              int dataSize, int noOptions, const StopFlag* stop) {
  IcmpSocketKind kind;
  {
    ServiceState& state = State();
    const std::lock_guard lock(state.mutex);
    if (!state.available) return 0;
    kind = state.kind;
  }
  return SendEchoOver(kind, destination, result, ttl, timeoutMs, dataSize, noOptions, stop);
}

// All sockets are opened and every request sent before the one wait, so the
// batch takes one time-out however many requests it holds.
bool IcmpEchoService::SendEchoBatch(std::span<const EchoRequest> requests,
                                    std::span<EchoResult> results, uint32_t timeoutMs,
                                    const StopFlag* stop) {
  if (requests.size() != results.size()) return false;
  IcmpSocketKind kind;
  {
    ServiceState& state = State();
    const std::lock_guard lock(state.mutex);
    if (!state.available) return false;
    kind = state.kind;
  }
  struct Pending {
    std::unique_ptr<FileDescriptor> socket;
    icmp::Probe probe;
    bool done = false;
  };
  std::vector<Pending> pending(requests.size());
  std::vector<EchoResult> answers(requests.size(), EchoResult{kIpReqTimedOut, 0, 0});
  const Clock::time_point start = Clock::now();
  bool any = false;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    Pending& slot = pending[i];
    slot.socket = std::make_unique<FileDescriptor>(OpenIcmpSocket(kind));
    if (!slot.socket->valid()) {
      answers[i].errorCode = kIpGeneralFailure;
      slot.done = true;
      continue;
    }
    any = true;
    const int fd = slot.socket->get();
    const int hopLimit = requests[i].ttl & 0xFF;
    if (hopLimit != 0) (void)setsockopt(fd, IPPROTO_IP, IP_TTL, &hopLimit, sizeof hopLimit);
    if (kind == IcmpSocketKind::Datagram) {
      const int on = 1;
      (void)setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    }
    slot.probe = icmp::Probe{requests[i].destination, ProcessEchoId(), NextSequence()};
    const std::vector<uint8_t> request = icmp::BuildEchoRequest(
        slot.probe.id, slot.probe.sequence, kEchoDataSize, kEchoPayloadByte);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = requests[i].destination;
    if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) < 0) {
      answers[i].errorCode = MapSendError(errno);
      slot.done = true;
    }
  }
  if (!any) return false;

  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  std::vector<pollfd> watched;
  std::vector<std::size_t> owner;
  for (;;) {
    if (stop != nullptr && stop->load()) break;
    watched.clear();
    owner.clear();
    for (std::size_t i = 0; i < pending.size(); ++i) {
      if (pending[i].done) continue;
      watched.push_back({pending[i].socket->get(), POLLIN, 0});
      owner.push_back(i);
    }
    if (watched.empty()) break;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    const int slice =
        static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), kStopPollMs));
    const int ready = poll(watched.data(), watched.size(), slice);
    if (ready < 0 && errno != EINTR) break;
    for (std::size_t w = 0; ready > 0 && w < watched.size(); ++w) {
      if (watched[w].revents == 0) continue;
      Pending& slot = pending[owner[w]];
      const int fd = watched[w].fd;
      std::optional<icmp::ProbeAnswer> answer;
      if ((watched[w].revents & POLLERR) != 0) {
        if (kind == IcmpSocketKind::Datagram) answer = ReceiveQueuedError(fd, slot.probe);
        if (!answer) ClearPendingError(fd);
      }
      if (!answer && (watched[w].revents & POLLIN) != 0) answer = ReceiveAnswer(fd, kind, slot.probe);
      if (!answer) continue;
      EchoResult& result = answers[owner[w]];
      result.errorCode = 0;
      result.replyAddress = answer->answerer;
      result.roundTripMs = ElapsedWholeMs(start);
      result.unreachable = answer->type == icmp::kDestinationUnreachable;
      slot.done = true;
    }
  }
  std::copy(answers.begin(), answers.end(), results.begin());
  return true;
}

const char* IcmpPermissionHint() {
  return "ICMP needs permission: allow your group in sysctl net.ipv4.ping_group_range "
         "or give the program CAP_NET_RAW";
}

}  // namespace rk
