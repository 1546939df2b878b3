#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The bytes of the proxy handshakes, without any socket: requests are built
// from plain values, replies are judged from the bytes received so far. Every
// parser reads only inside the span it is given.
namespace rk::proxy {

using Bytes = std::vector<uint8_t>;

// What the bytes received so far say about one reply.
struct Reply {
  enum class Status {
    NeedMore,       // a valid beginning; at least `more` further bytes are needed
    Granted,        // the step succeeded
    LoginRefused,   // the proxy wants a login, or refused the one sent
    TargetRefused,  // the proxy would not connect to the target; `reason` says why
    ProtocolError,  // not this protocol, or more bytes than the reply holds
  };
  Status status = Status::NeedMore;
  std::size_t more = 0;  // NeedMore only
  std::string reason;    // printable ASCII, never empty for the refusals and errors
  uint8_t method = 0;    // SOCKS5 method selection only: the method the proxy chose
};

// --- SOCKS4 and SOCKS4a ---------------------------------------------------
inline constexpr std::size_t kSocks4ReplySize = 8;

// CONNECT to an IPv4 address (network byte order), with an empty user id.
[[nodiscard]] Bytes Socks4Request(uint32_t addressNetworkOrder, uint16_t port);
// CONNECT by name: the address 0.0.0.1 and the name after the empty user id.
// * nullopt for an empty name or one holding a NUL byte.
[[nodiscard]] std::optional<Bytes> Socks4aRequest(std::string_view host, uint16_t port);
// The 8-byte answer: version 0, code 90 granted, 91..93 refused with their
// meaning; any other version or code, or a ninth byte, is a protocol error.
[[nodiscard]] Reply ParseSocks4Reply(std::span<const uint8_t> received);

// --- SOCKS5 ---------------------------------------------------------------
inline constexpr uint8_t kSocks5NoAuth = 0x00;
inline constexpr uint8_t kSocks5UserPassword = 0x02;
inline constexpr uint8_t kSocks5NoAcceptableMethod = 0xFF;

// The greeting: "no login" alone, or "no login" and user/password.
[[nodiscard]] Bytes Socks5Greeting(bool offerLogin);
// The method selection (2 bytes): granted with the chosen method when it was
// offered; 0xFF is a refused login; a method not offered is a protocol error.
[[nodiscard]] Reply ParseSocks5MethodReply(std::span<const uint8_t> received, bool offeredLogin);
// The user/password sub-negotiation request; nullopt when the user is empty
// or either text is longer than 255 bytes.
[[nodiscard]] std::optional<Bytes> Socks5LoginRequest(std::string_view user,
                                                      std::string_view password);
// The 2-byte login status: version 1, status 0 granted, else login refused.
[[nodiscard]] Reply ParseSocks5LoginReply(std::span<const uint8_t> received);
// CONNECT: the IPv4 form for a numeric host, else the domain-name form.
// * nullopt for an empty name or one longer than 255 bytes.
[[nodiscard]] std::optional<Bytes> Socks5ConnectRequest(std::string_view host,
                                                        std::optional<uint32_t> numericAddress,
                                                        uint16_t port);
// The reply: version 5, reserved 0, code 0 granted, 1..8 refused by name,
// then a bound address of type 1, 3 or 4 and a port. A header of 5 bytes tells
// the full length, so NeedMore asks for the exact rest.
[[nodiscard]] Reply ParseSocks5ConnectReply(std::span<const uint8_t> received);
// The name of a SOCKS5 reply code 1..8; nullptr for any other code.
[[nodiscard]] const char* Socks5ReplyName(uint8_t code);

// --- HTTP CONNECT ----------------------------------------------------------
// The longest reply header read before the answer counts as a protocol error.
inline constexpr std::size_t kMaxHttpHeaderBytes = 8192;

// "CONNECT host:port HTTP/1.1", a Host line and, when a user is given, a
// Basic Proxy-Authorization line. The host is used as given.
[[nodiscard]] Bytes HttpConnectRequest(std::string_view host, uint16_t port, std::string_view user,
                                       std::string_view password);
// The reply header up to its blank line (CRLF or bare LF line ends): any 2xx
// status grants; 407 and 401 are a refused login; any other status is a
// refused target with the status line as reason. The bytes after the blank
// line are the target's and are not looked at.
[[nodiscard]] Reply ParseHttpConnectReply(std::span<const uint8_t> received);

// Base64 (standard alphabet, padded) for the Basic login.
[[nodiscard]] std::string Base64(std::string_view bytes);
// Printable ASCII of outside text: other bytes become '?', at most `limit`
// bytes are kept.
[[nodiscard]] std::string PrintableText(std::string_view text, std::size_t limit = 120);

}  // namespace rk::proxy
