#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace rk::icmp {

inline constexpr uint8_t kEchoReply = 0;
inline constexpr uint8_t kDestinationUnreachable = 3;
inline constexpr uint8_t kEchoRequest = 8;
inline constexpr uint8_t kTimeExceeded = 11;

inline constexpr std::size_t kIcmpHeaderSize = 8;
inline constexpr std::size_t kMinIpHeaderSize = 20;
inline constexpr uint8_t kProtocolIcmp = 1;

// The RFC 1071 Internet checksum of `bytes` (an odd last byte is padded with
// zero), in network byte order: stored as it is, it makes the sum verify.
[[nodiscard]] uint16_t InternetChecksum(std::span<const uint8_t> bytes);

// An echo request: type 8, code 0, checksum, `id` and `sequence` in network
// byte order, then `payloadSize` bytes of `payloadByte`.
[[nodiscard]] std::vector<uint8_t> BuildEchoRequest(uint16_t id, uint16_t sequence,
                                                    std::size_t payloadSize, uint8_t payloadByte);

// What identifies one probe of ours on the wire.
struct Probe {
  uint32_t destination = 0;  // network byte order
  uint16_t id = 0;           // host order; ignored for datagram sockets
  uint16_t sequence = 0;     // host order
};

// An answer to our probe: the destination's echo reply, or a report about it.
struct ProbeAnswer {
  uint8_t type = 0;  // kEchoReply, kTimeExceeded or kDestinationUnreachable
  uint8_t code = 0;
  uint32_t answerer = 0;  // network byte order: the destination or the reporting router
};

// A whole IPv4 datagram as a raw ICMP socket delivers it (IP header first).
// Ours is:
// * an echo reply from probe.destination carrying probe.id and probe.sequence;
// * a time-exceeded or destination-unreachable report (from any address,
//   which is then the answerer) quoting an IPv4 header of protocol ICMP to
//   probe.destination followed by our echo request's first 8 bytes.
// Anything else, including every truncated or malformed header, is nullopt.
// Reads only inside `datagram`.
[[nodiscard]] std::optional<ProbeAnswer> MatchRawReply(std::span<const uint8_t> datagram,
                                                       const Probe& probe);

// An ICMP message without IP header as an ICMP datagram ("ping") socket
// delivers it, with the sender's address from the socket. The kernel owns
// the id of such sockets and delivers only replies to its own id, so ours is
// an echo reply from probe.destination with probe.sequence.
[[nodiscard]] std::optional<ProbeAnswer> MatchDatagramReply(std::span<const uint8_t> message,
                                                            uint32_t source, const Probe& probe);

// The original request that an ICMP datagram socket hands back with a queued
// error report: ours when it is an echo request with probe.sequence.
[[nodiscard]] bool IsOurQueuedRequest(std::span<const uint8_t> original, const Probe& probe);

}  // namespace rk::icmp
