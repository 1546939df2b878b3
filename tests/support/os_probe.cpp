// The only test file that speaks to the socket and process APIs directly.
#include "support/os_probe.h"

#include "diagnostics/socket_startup.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#endif

namespace rk::testing {

static TcpSocket LoopbackSocket(int& port, bool listening) {
  (void)EnsureSocketsStarted();
  const auto s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  if (listening) listen(s, 64);
  return TcpSocket(static_cast<intptr_t>(s));
}

LoopbackListener::LoopbackListener() : socket_(LoopbackSocket(port_, true)) {}

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
