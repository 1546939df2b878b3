#include "probes/proxy_protocol.h"

#include <algorithm>
#include <array>

#include "base/format.h"

namespace rk::proxy {

namespace {

using Status = Reply::Status;

Reply NeedMore(std::size_t more) { return Reply{Status::NeedMore, more, {}, 0}; }
Reply Granted() { return Reply{Status::Granted, 0, {}, 0}; }
Reply Judged(Status status, std::string reason) {
  return Reply{status, 0, std::move(reason), 0};
}
Reply ProtocolError(std::string reason) { return Judged(Status::ProtocolError, std::move(reason)); }

// A reply of exactly `size` bytes: fewer asks for the rest, more is an error.
std::optional<Reply> SizeCheck(std::span<const uint8_t> received, std::size_t size,
                               const char* what) {
  if (received.size() < size) return NeedMore(size - received.size());
  if (received.size() > size)
    return ProtocolError(Format("%s longer than %zu bytes", what, size));
  return std::nullopt;
}

// Writes a request of a size known in advance, byte by byte.
class Writer {
 public:
  explicit Writer(std::size_t size) : bytes_(size) {}
  void Byte(uint8_t value) { bytes_[at_++] = value; }  // sizes are exact by construction
  void Port(uint16_t port) {
    Byte(static_cast<uint8_t>(port >> 8));
    Byte(static_cast<uint8_t>(port & 0xFF));
  }
  // Network byte order in memory is the wire order.
  void Address(uint32_t networkOrder) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&networkOrder);
    for (int i = 0; i < 4; ++i) Byte(bytes[i]);
  }
  void Text(std::string_view text) {
    for (const char c : text) Byte(static_cast<uint8_t>(c));
  }
  Bytes Done() { return std::move(bytes_); }

 private:
  Bytes bytes_;
  std::size_t at_ = 0;
};

}  // namespace

// --- SOCKS4 and SOCKS4a ---------------------------------------------------

Bytes Socks4Request(uint32_t addressNetworkOrder, uint16_t port) {
  Writer out(9);
  out.Byte(0x04);
  out.Byte(0x01);
  out.Port(port);
  out.Address(addressNetworkOrder);
  out.Byte(0x00);  // empty user id
  return out.Done();
}

std::optional<Bytes> Socks4aRequest(std::string_view host, uint16_t port) {
  if (host.empty() || host.find('\0') != std::string_view::npos) return std::nullopt;
  Writer out(9 + host.size() + 1);
  out.Byte(0x04);
  out.Byte(0x01);
  out.Port(port);
  // The address 0.0.0.1 says a name follows; then the empty user id.
  for (const uint8_t b : {uint8_t{0}, uint8_t{0}, uint8_t{0}, uint8_t{1}, uint8_t{0}}) out.Byte(b);
  out.Text(host);
  out.Byte(0x00);
  return out.Done();
}

Reply ParseSocks4Reply(std::span<const uint8_t> received) {
  if (!received.empty() && received[0] != 0x00)
    return ProtocolError(Format("SOCKS4 reply version %u, not 0", received[0]));
  if (auto sized = SizeCheck(received, kSocks4ReplySize, "SOCKS4 reply")) return *sized;
  switch (received[1]) {
    case 90:
      return Granted();
    case 91:
      return Judged(Status::TargetRefused, "SOCKS4 91: request rejected or failed");
    case 92:
      return Judged(Status::TargetRefused,
                    "SOCKS4 92: request rejected, the proxy cannot reach the identd of this client");
    case 93:
      return Judged(Status::TargetRefused,
                    "SOCKS4 93: request rejected, identd reports a different user id");
    default:
      return ProtocolError(Format("SOCKS4 reply code %u is not defined", received[1]));
  }
}

// --- SOCKS5 ---------------------------------------------------------------

Bytes Socks5Greeting(bool offerLogin) {
  if (offerLogin) return Bytes{0x05, 0x02, kSocks5NoAuth, kSocks5UserPassword};
  return Bytes{0x05, 0x01, kSocks5NoAuth};
}

Reply ParseSocks5MethodReply(std::span<const uint8_t> received, bool offeredLogin) {
  if (!received.empty() && received[0] != 0x05)
    return ProtocolError(Format("SOCKS5 method reply version %u, not 5", received[0]));
  if (auto sized = SizeCheck(received, 2, "SOCKS5 method reply")) return *sized;
  const uint8_t method = received[1];
  if (method == kSocks5NoAcceptableMethod)
    return Judged(Status::LoginRefused,
                  offeredLogin ? "SOCKS5: the proxy accepts none of the offered login methods"
                               : "SOCKS5: the proxy requires a login and none is stored");
  if (method == kSocks5NoAuth || (offeredLogin && method == kSocks5UserPassword)) {
    Reply reply = Granted();
    reply.method = method;
    return reply;
  }
  return ProtocolError(Format("SOCKS5 proxy chose method %u, which was not offered", method));
}

std::optional<Bytes> Socks5LoginRequest(std::string_view user, std::string_view password) {
  if (user.empty() || user.size() > 255 || password.size() > 255) return std::nullopt;
  Writer out(3 + user.size() + password.size());
  out.Byte(0x01);
  out.Byte(static_cast<uint8_t>(user.size()));
  out.Text(user);
  out.Byte(static_cast<uint8_t>(password.size()));
  out.Text(password);
  return out.Done();
}

Reply ParseSocks5LoginReply(std::span<const uint8_t> received) {
  if (!received.empty() && received[0] != 0x01)
    return ProtocolError(Format("SOCKS5 login reply version %u, not 1", received[0]));
  if (auto sized = SizeCheck(received, 2, "SOCKS5 login reply")) return *sized;
  if (received[1] != 0x00)
    return Judged(Status::LoginRefused,
                  Format("SOCKS5: the proxy refused the stored login (status %u)", received[1]));
  return Granted();
}

std::optional<Bytes> Socks5ConnectRequest(std::string_view host,
                                          std::optional<uint32_t> numericAddress, uint16_t port) {
  if (!numericAddress && (host.empty() || host.size() > 255)) return std::nullopt;
  Writer out(numericAddress ? 10 : 7 + host.size());
  out.Byte(0x05);
  out.Byte(0x01);
  out.Byte(0x00);
  if (numericAddress) {
    out.Byte(0x01);
    out.Address(*numericAddress);
  } else {
    out.Byte(0x03);
    out.Byte(static_cast<uint8_t>(host.size()));
    out.Text(host);
  }
  out.Port(port);
  return out.Done();
}

const char* Socks5ReplyName(uint8_t code) {
  static constexpr std::array<const char*, 8> kNames = {
      "general SOCKS server failure", "connection not allowed by ruleset",
      "network unreachable",          "host unreachable",
      "connection refused",           "TTL expired",
      "command not supported",        "address type not supported"};
  if (code < 1 || code > kNames.size()) return nullptr;
  return kNames[code - 1];
}

Reply ParseSocks5ConnectReply(std::span<const uint8_t> received) {
  // Version, code, reserved, address type, and the first byte of the address
  // (the length of a domain name): enough to know the whole size.
  constexpr std::size_t kHead = 5;
  if (!received.empty() && received[0] != 0x05)
    return ProtocolError(Format("SOCKS5 reply version %u, not 5", received[0]));
  if (received.size() > 1 && received[1] != 0x00 && Socks5ReplyName(received[1]) == nullptr)
    return ProtocolError(Format("SOCKS5 reply code %u is not defined", received[1]));
  if (received.size() > 2 && received[2] != 0x00)
    return ProtocolError("SOCKS5 reply with a non-zero reserved byte");
  if (received.size() > 3 && received[3] != 0x01 && received[3] != 0x03 && received[3] != 0x04)
    return ProtocolError(Format("SOCKS5 reply address type %u is not defined", received[3]));
  if (received.size() < kHead) return NeedMore(kHead - received.size());

  std::size_t size = 0;
  switch (received[3]) {
    case 0x01:
      size = 4 + 4 + 2;
      break;
    case 0x04:
      size = 4 + 16 + 2;
      break;
    default:  // 0x03: length byte, name, port
      size = 4 + 1 + std::size_t{received[4]} + 2;
      break;
  }
  if (auto sized = SizeCheck(received, size, "SOCKS5 reply")) return *sized;
  const uint8_t code = received[1];
  if (code == 0x00) return Granted();
  return Judged(Status::TargetRefused, Format("SOCKS5 %u: %s", code, Socks5ReplyName(code)));
}

// --- HTTP CONNECT ----------------------------------------------------------

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = std::min<std::size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < left ? static_cast<uint8_t>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k)
      out.push_back(k <= left ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
  }
  return out;
}

std::string PrintableText(std::string_view text, std::size_t limit) {
  std::string out;
  for (const char c : text.substr(0, std::min(limit, text.size())))
    out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  return out;
}

Bytes HttpConnectRequest(std::string_view host, uint16_t port, std::string_view user,
                         std::string_view password) {
  const std::string authority = Format("%.*s:%u", static_cast<int>(host.size()), host.data(), port);
  std::string text = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
  if (!user.empty()) {
    std::string login(user);
    login.push_back(':');
    login.append(password);
    text += "Proxy-Authorization: Basic " + Base64(login) + "\r\n";
  }
  text += "\r\n";
  return Bytes(text.begin(), text.end());
}

Reply ParseHttpConnectReply(std::span<const uint8_t> received) {
  const std::string_view text(reinterpret_cast<const char*>(received.data()), received.size());
  // "HTTP/" is checked as soon as it can be, so a proxy of another protocol
  // is told apart without waiting for a header end that may never come.
  constexpr std::string_view kPrefix = "HTTP/";
  const std::size_t known = std::min(text.size(), kPrefix.size());
  if (text.substr(0, known) != kPrefix.substr(0, known))
    return ProtocolError("the answer is not an HTTP reply");

  // The header ends at the first empty line; a bare LF ends lines too.
  std::size_t end = std::string_view::npos;
  for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    if (i + 1 < text.size() && text[i + 1] == '\n') {
      end = i + 2;
      break;
    }
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      end = i + 3;
      break;
    }
  }
  if (end == std::string_view::npos || end > kMaxHttpHeaderBytes) {
    if (text.size() >= kMaxHttpHeaderBytes)
      return ProtocolError(Format("HTTP reply header longer than %zu bytes", kMaxHttpHeaderBytes));
    return NeedMore(1);
  }

  std::string_view line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // "HTTP/1.x SSS reason": a version digit, a blank, three digits, then a
  // blank or the line's end.
  const bool wellFormed = line.size() >= 12 && line.substr(0, 7) == "HTTP/1." &&
                          line[7] >= '0' && line[7] <= '9' && line[8] == ' ' &&
                          std::all_of(line.begin() + 9, line.begin() + 12,
                                      [](char c) { return c >= '0' && c <= '9'; }) &&
                          (line.size() == 12 || line[12] == ' ');
  if (!wellFormed)
    return ProtocolError("malformed HTTP status line: " + PrintableText(line));
  const int status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
  if (status >= 200 && status <= 299) return Granted();
  const std::string shown = PrintableText(line);
  if (status == 407 || status == 401) return Judged(Status::LoginRefused, shown);
  return Judged(Status::TargetRefused, shown);
}

}  // namespace rk::proxy
