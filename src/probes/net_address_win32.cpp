#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>

#include "probes/net_address.h"
#include "probes/socket_startup.h"

namespace rk {

namespace {

// Starts Windows Sockets once for the whole process and cleans up at exit,
// so that every backend (look-ups, the connection test) can rely on it
// whether or not the window or the CLI started sockets themselves.
class SocketsStarter {
 public:
  SocketsStarter() {
    WSADATA data{};
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~SocketsStarter() {
    if (started_) WSACleanup();
  }
  SocketsStarter(const SocketsStarter&) = delete;
  SocketsStarter& operator=(const SocketsStarter&) = delete;
  [[nodiscard]] bool started() const { return started_; }

 private:
  bool started_ = false;
};

}  // namespace

bool EnsureSocketsStarted() {
  static const SocketsStarter starter;
  return starter.started();
}

std::optional<uint32_t> ParseNumericIPv4(const std::string& text) {
  (void)EnsureSocketsStarted();
  const unsigned long address = inet_addr(text.c_str());
  if (address == INADDR_NONE) return std::nullopt;
  return static_cast<uint32_t>(address);
}

namespace {

class GetHostByNameResolver final : public NameResolver {
 public:
  std::optional<uint32_t> FirstIPv4(const std::string& name) override { return Resolve(name).address; }

  NameAnswer Resolve(const std::string& name) override {
    if (!EnsureSocketsStarted()) return {std::nullopt, LookupFailure::NoAnswer};
    // gethostbyname keeps its answer in per-thread storage; it is copied out
    // before anything else can call it on this thread.
    const hostent* answer = gethostbyname(name.c_str());
    if (answer == nullptr) {
      switch (WSAGetLastError()) {
        case WSAHOST_NOT_FOUND:
          return {std::nullopt, LookupFailure::NoSuchName};
        case WSANO_DATA:
          return {std::nullopt, LookupFailure::NoIPv4};
        default:  // WSATRY_AGAIN: no server answered; WSANO_RECOVERY
          return {std::nullopt, LookupFailure::NoAnswer};
      }
    }
    if (answer->h_addrtype != AF_INET || answer->h_length < 4 || answer->h_addr_list == nullptr ||
        answer->h_addr_list[0] == nullptr)
      return {std::nullopt, LookupFailure::NoIPv4};
    uint32_t address = 0;
    std::memcpy(&address, answer->h_addr_list[0], sizeof address);
    return {address, LookupFailure::None};
  }
};

}  // namespace

NameResolver& SystemNameResolver() {
  static GetHostByNameResolver resolver;
  return resolver;
}

}  // namespace rk
