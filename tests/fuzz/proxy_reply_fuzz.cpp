// The proxy reply parsers on arbitrary bytes. Input: one selector byte (which
// reply: SOCKS4, SOCKS5 method selection without/with a login offer, SOCKS5
// login, SOCKS5 connect, HTTP CONNECT), then the bytes the proxy sent.
// Checked: no read outside the bytes given, a reading loop like the
// connector's ends within the input, a judged reply does not change when the
// connector would have stopped reading, and every reason is printable text.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "probes/proxy_protocol.h"

namespace {

using rk::proxy::Reply;

Reply Parse(uint8_t selector, std::span<const uint8_t> bytes) {
  switch (selector % 6) {
    case 0: return rk::proxy::ParseSocks4Reply(bytes);
    case 1: return rk::proxy::ParseSocks5MethodReply(bytes, false);
    case 2: return rk::proxy::ParseSocks5MethodReply(bytes, true);
    case 3: return rk::proxy::ParseSocks5LoginReply(bytes);
    case 4: return rk::proxy::ParseSocks5ConnectReply(bytes);
    default: return rk::proxy::ParseHttpConnectReply(bytes);
  }
}

void CheckReason(const Reply& reply) {
  const bool judgedBad = reply.status != Reply::Status::NeedMore && reply.status != Reply::Status::Granted;
  if (judgedBad && reply.reason.empty()) std::abort();
  for (const char c : reply.reason)
    if (c < 0x20 || c > 0x7E) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t selector = data[0];
  // Exact-size copy, so any read past the end is caught.
  const std::vector<uint8_t> input(data + 1, data + size);
  CheckReason(Parse(selector, input));

  // Read as the connector does: exactly `more` bytes for SOCKS replies, one
  // chunk at a time for HTTP, until the reply is judged or the input ends.
  const bool stream = selector % 6 == 5;
  std::size_t taken = 0;
  Reply reply = Parse(selector, std::span<const uint8_t>(input.data(), 0));
  for (std::size_t step = 0; reply.status == Reply::Status::NeedMore; ++step) {
    if (reply.more == 0 || step > input.size() + 1) std::abort();  // no progress
    const std::size_t want = stream ? 7 : reply.more;
    if (taken == input.size()) break;
    taken += std::min(want, input.size() - taken);
    reply = Parse(selector, std::span<const uint8_t>(input.data(), taken));
    CheckReason(reply);
  }
  if (!stream && reply.status != Reply::Status::NeedMore && reply.status != Reply::Status::ProtocolError) {
    // A SOCKS reply judged at `taken` bytes: the same bytes judged again agree,
    // and one byte more than the reply holds is a protocol error.
    if (Parse(selector, std::span<const uint8_t>(input.data(), taken)).status != reply.status) std::abort();
    if (taken < input.size() &&
        Parse(selector, std::span<const uint8_t>(input.data(), taken + 1)).status != Reply::Status::ProtocolError)
      std::abort();
  }
  return 0;
}
