// The only test file that speaks to the socket and process APIs directly.
#include "support/os_probe.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
using NativeSocket = SOCKET;
static void CloseNative(NativeSocket s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
using NativeSocket = int;
static void CloseNative(NativeSocket s) { close(s); }
#endif

namespace rk::testing {

static NativeSocket BoundLoopbackSocket(int& port) {
#ifdef _WIN32
  static const bool started = [] { WSADATA data; return WSAStartup(MAKEWORD(2, 2), &data) == 0; }();
  (void)started;
#endif
  NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return s;
}

LoopbackListener::LoopbackListener() {
  const NativeSocket s = BoundLoopbackSocket(port_);
  listen(s, 64);
  socket_ = static_cast<intptr_t>(s);
}

LoopbackListener::~LoopbackListener() { CloseNative(static_cast<NativeSocket>(socket_)); }

int ClosedLoopbackPort() {
  int port = 0;
  CloseNative(BoundLoopbackSocket(port));
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
