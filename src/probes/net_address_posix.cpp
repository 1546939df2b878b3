#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

#include "probes/net_address.h"
#include "probes/socket_startup.h"

namespace rk {

bool EnsureSocketsStarted() { return true; }

std::optional<uint32_t> ParseNumericIPv4(const std::string& text) {
  const in_addr_t address = inet_addr(text.c_str());
  if (address == INADDR_NONE) return std::nullopt;
  return static_cast<uint32_t>(address);
}

namespace {

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

class GetAddrInfoResolver final : public NameResolver {
 public:
  std::optional<uint32_t> FirstIPv4(const std::string& name) override { return Resolve(name).address; }

  NameAnswer Resolve(const std::string& name) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    // One answer per address: without a socket type every address comes back
    // once per type, which changes nothing but the work done.
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* raw = nullptr;
    // An empty name asks for the local host, as Windows Sockets' look-up of
    // an empty name gives this computer's own addresses.
    const char* node = name.empty() ? "localhost" : name.c_str();
    const int status = getaddrinfo(node, nullptr, &hints, &raw);
    if (status != 0 || raw == nullptr) return {std::nullopt, FailureOf(status)};
    const std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
      if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
          entry->ai_addrlen < sizeof(sockaddr_in))
        continue;
      sockaddr_in address{};
      std::memcpy(&address, entry->ai_addr, sizeof address);
      return {static_cast<uint32_t>(address.sin_addr.s_addr), LookupFailure::None};
    }
    return {std::nullopt, LookupFailure::NoIPv4};
  }

 private:
  static LookupFailure FailureOf(int status) {
    switch (status) {
#ifdef EAI_NODATA
      case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
      case EAI_ADDRFAMILY:
#endif
        return LookupFailure::NoIPv4;
      case EAI_NONAME:
        return LookupFailure::NoSuchName;
      default:  // EAI_AGAIN (no server answered), EAI_FAIL, EAI_SYSTEM, ...
        return LookupFailure::NoAnswer;
    }
  }
};

}  // namespace

NameResolver& SystemNameResolver() {
  static GetAddrInfoResolver resolver;
  return resolver;
}

}  // namespace rk
