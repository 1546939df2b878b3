// Room for every attempt a batch holds at once in one select call; must come
// before winsock2.h, which otherwise sets 64.
#define FD_SETSIZE 1024
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "base/format.h"
#include "probes/connect_batch.h"
#include "probes/socket_startup.h"
#include "probes/socket_win32.h"

namespace rk::connect_backend {

namespace {

std::string Describe(int error) {
  switch (error) {
    case WSAEADDRNOTAVAIL:
      return "Cannot assign requested address";
    case WSAEACCES:
      return "Permission denied";
    default:
      return Format("Windows Sockets error %d", error);
  }
}

constexpr ErrorCodes kCodes{WSAECONNREFUSED, -1, WSAETIMEDOUT, WSAENETUNREACH, WSAEHOSTUNREACH,
                            WSAEHOSTDOWN, Describe};

}  // namespace

Begun BeginConnect(uint32_t address, uint16_t port) {
  if (!EnsureSocketsStarted())
    return BegunAfterConnect(TcpSocket(), WSANOTINITIALISED, false, kCodes);
  const SOCKET socketHandle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socketHandle == INVALID_SOCKET)
    return BegunAfterConnect(TcpSocket(), WSAGetLastError(), false, kCodes);
  TcpSocket owned(static_cast<intptr_t>(socketHandle));
  const int error = win32::StartConnect(socketHandle, address, port);
  return BegunAfterConnect(std::move(owned), error,
                           error == WSAEWOULDBLOCK || error == WSAEINPROGRESS, kCodes);
}

// An established connection joins the write set, a failed attempt the
// exception set.
void WaitAny(const std::vector<intptr_t>& handles, uint32_t waitMs, std::vector<std::size_t>& ready) {
  ready.clear();
  const std::size_t watched = std::min<std::size_t>(handles.size(), FD_SETSIZE);
  if (watched == 0) return;
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (std::size_t i = 0; i < watched; ++i) {
    FD_SET(static_cast<SOCKET>(handles[i]), &writable);
    FD_SET(static_cast<SOCKET>(handles[i]), &failed);
  }
  timeval wait{};
  wait.tv_sec = static_cast<long>(waitMs / 1000);
  wait.tv_usec = static_cast<long>((waitMs % 1000) * 1000);
  if (select(0, nullptr, &writable, &failed, &wait) <= 0) return;
  for (std::size_t i = 0; i < watched; ++i) {
    const auto socketHandle = static_cast<SOCKET>(handles[i]);
    if (FD_ISSET(socketHandle, &writable) != 0 || FD_ISSET(socketHandle, &failed) != 0)
      ready.push_back(i);
  }
}

// Windows keeps no report of the router that refused the traffic, so the
// reporter stays unknown here; a failed attempt always leaves its error.
ConnectSettlement ReadOutcome(intptr_t handle, uint32_t target) {
  int pending = 0;
  int length = sizeof pending;
  if (getsockopt(static_cast<SOCKET>(handle), SOL_SOCKET, SO_ERROR,
                 reinterpret_cast<char*>(&pending), &length) != 0)
    pending = WSAGetLastError();
  return SettlementOf(pending, false, QueuedReport{}, target, kCodes);
}

}  // namespace rk::connect_backend
