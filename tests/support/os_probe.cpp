// The only test file that speaks to the socket and process APIs directly.
#include "support/os_probe.h"

#include "probes/net_address.h"
#include "probes/socket_startup.h"

#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <filesystem>
#endif

namespace rk::testing {

static TcpSocket LoopbackSocket(int& port, bool listening, int backlog = 64,
                                uint32_t host = INADDR_LOOPBACK, int wanted = 0) {
  (void)EnsureSocketsStarted();
  const auto s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(host);
  address.sin_port = htons(static_cast<uint16_t>(wanted));
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  if (listening) listen(s, backlog);
  return TcpSocket(static_cast<intptr_t>(s));
}

LoopbackListener::LoopbackListener(int backlog, uint32_t address, int port)
    : socket_(LoopbackSocket(port_, true, backlog, address, port)) {}

int LoopbackListener::DrainQueued() {
  int count = 0;
  for (; count < 1000; ++count) {
    fd_set readable;
    FD_ZERO(&readable);
    const auto s = static_cast<decltype(socket(0, 0, 0))>(socket_.native());
    FD_SET(s, &readable);
    timeval wait{0, 100000};
    if (select(static_cast<int>(s) + 1, &readable, nullptr, nullptr, &wait) <= 0) break;
    const TcpSocket accepted(static_cast<intptr_t>(accept(s, nullptr, nullptr)));
    if (!accepted.valid()) break;
  }
  return count;
}

StalledListener::StalledListener(uint32_t address) : listener_(1, address) {
  const std::string host = DottedIPv4(htonl(address));
  for (int i = 0; i < 200; ++i) {
    TcpSocket held = ConnectWithTimeout(host, listener_.port(), 100);
    if (!held.valid()) {
      stalled_ = true;
      break;
    }
    held_.push_back(std::move(held));
  }
}

int ClosedLoopbackPort() {
  int port = 0;
  LoopbackSocket(port, false);
  return port;
}

int OpenHandleCount() {
#ifdef _WIN32
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return static_cast<int>(count);
#else
  std::error_code error;
  const std::filesystem::directory_iterator fds("/proc/self/fd", error);
  return static_cast<int>(std::distance(fds, {}));
#endif
}

}  // namespace rk::testing
