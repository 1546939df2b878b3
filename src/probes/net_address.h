#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rk {

// inet_addr of the platform: the numeric IPv4 forms it accepts, in network
// byte order; nullopt for INADDR_NONE, which 255.255.255.255 also gives.
[[nodiscard]] std::optional<uint32_t> ParseNumericIPv4(const std::string& text);

// a.b.c.d of an address in network byte order (inet_ntoa's form).
[[nodiscard]] std::string DottedIPv4(uint32_t networkOrder);

// Whether `name` can be a host name, so that asking the network about it
// makes sense: dot-separated labels of 1..63 letters, digits, hyphens or
// underscores, no label starting or ending with a hyphen, one trailing dot
// allowed, 253 bytes at most. The empty name (this computer) passes.
[[nodiscard]] bool IsHostNameSyntax(std::string_view name);

// Why a look-up gave no address.
enum class LookupFailure {
  None,
  NoSuchName,  // the DNS server says the name does not exist
  NoAnswer,    // no DNS server answered (or none could)
  NoIPv4,      // the name exists but has no IPv4 address
};

struct NameAnswer {
  std::optional<uint32_t> address;  // network byte order
  LookupFailure failure = LookupFailure::None;  // set exactly when there is no address
};

// Host name look-up, behind an interface so tests never ask the network.
class NameResolver {
 public:
  virtual ~NameResolver() = default;
  // The first IPv4 address of the answer, network byte order; nullopt when
  // the look-up gives nothing.
  [[nodiscard]] virtual std::optional<uint32_t> FirstIPv4(const std::string& name) = 0;
  // The same look-up with the kind of failure; resolvers that cannot tell
  // say NoSuchName.
  [[nodiscard]] virtual NameAnswer Resolve(const std::string& name) {
    NameAnswer answer{FirstIPv4(name)};
    if (!answer.address) answer.failure = LookupFailure::NoSuchName;
    return answer;
  }
};

// The platform's look-up (gethostbyname on Windows, getaddrinfo elsewhere).
[[nodiscard]] NameResolver& SystemNameResolver();

}  // namespace rk
