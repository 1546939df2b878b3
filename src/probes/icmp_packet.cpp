#include "probes/icmp_packet.h"

#include <cstring>

namespace rk::icmp {

namespace {

uint16_t ReadBe16(std::span<const uint8_t> bytes, std::size_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// Addresses stay in network byte order: the four bytes as they stand.
uint32_t ReadAddress(std::span<const uint8_t> bytes, std::size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// The IPv4 header at the start of `bytes`, when it is well formed enough to
// step over: version 4, a header length of at least 20 bytes that `bytes`
// holds, and a total length that covers the header.
struct IpHeader {
  std::size_t headerSize = 0;
  std::size_t totalLength = 0;
  uint8_t protocol = 0;
  uint32_t source = 0;
  uint32_t destination = 0;
};

std::optional<IpHeader> ReadIpHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kMinIpHeaderSize) return std::nullopt;
  if ((bytes[0] >> 4) != 4) return std::nullopt;
  IpHeader header;
  header.headerSize = static_cast<std::size_t>(bytes[0] & 0x0F) * 4;
  if (header.headerSize < kMinIpHeaderSize || header.headerSize > bytes.size()) return std::nullopt;
  header.totalLength = ReadBe16(bytes, 2);
  if (header.totalLength < header.headerSize) return std::nullopt;
  header.protocol = bytes[9];
  header.source = ReadAddress(bytes, 12);
  header.destination = ReadAddress(bytes, 16);
  return header;
}

bool IsOurEcho(std::span<const uint8_t> icmpHeader, uint8_t type, const Probe& probe,
               bool checkId) {
  if (icmpHeader.size() < kIcmpHeaderSize) return false;
  if (icmpHeader[0] != type) return false;
  if (checkId && ReadBe16(icmpHeader, 4) != probe.id) return false;
  return ReadBe16(icmpHeader, 6) == probe.sequence;
}

// The body of a time-exceeded or unreachable report (the bytes after its own
// 8-byte header): the original IPv4 header and at least the first 8 bytes of
// what it carried, which must be our echo request to our destination.
bool QuotesOurRequest(std::span<const uint8_t> quoted, const Probe& probe) {
  const auto header = ReadIpHeader(quoted);
  if (!header) return false;
  if (header->protocol != kProtocolIcmp || header->destination != probe.destination) return false;
  if (header->totalLength < header->headerSize + kIcmpHeaderSize) return false;
  if (quoted.size() < header->headerSize + kIcmpHeaderSize) return false;
  return IsOurEcho(quoted.subspan(header->headerSize, kIcmpHeaderSize), kEchoRequest, probe, true);
}

}  // namespace

uint16_t InternetChecksum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += static_cast<uint32_t>((bytes[i] << 8) | bytes[i + 1]);
  if (i < bytes.size()) sum += static_cast<uint32_t>(bytes[i] << 8);
  while ((sum >> 16) != 0) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum & 0xFFFF);
}

std::vector<uint8_t> BuildEchoRequest(uint16_t id, uint16_t sequence, std::size_t payloadSize,
                                      uint8_t payloadByte) {
  std::vector<uint8_t> packet(kIcmpHeaderSize + payloadSize, payloadByte);
  packet[0] = kEchoRequest;
  packet[1] = 0;
  packet[2] = 0;
  packet[3] = 0;
  packet[4] = static_cast<uint8_t>(id >> 8);
  packet[5] = static_cast<uint8_t>(id & 0xFF);
  packet[6] = static_cast<uint8_t>(sequence >> 8);
  packet[7] = static_cast<uint8_t>(sequence & 0xFF);
  const uint16_t checksum = InternetChecksum(packet);
  packet[2] = static_cast<uint8_t>(checksum >> 8);
  packet[3] = static_cast<uint8_t>(checksum & 0xFF);
  return packet;
}

std::optional<ProbeAnswer> MatchRawReply(std::span<const uint8_t> datagram, const Probe& probe) {
  const auto outer = ReadIpHeader(datagram);
  if (!outer || outer->protocol != kProtocolIcmp) return std::nullopt;
  // The datagram may carry bytes past its stated length (never trust them)
  // or be cut short by the receive buffer (then only what arrived counts).
  const std::size_t end =
      outer->totalLength < datagram.size() ? outer->totalLength : datagram.size();
  const auto message = datagram.subspan(outer->headerSize, end - outer->headerSize);
  if (message.size() < kIcmpHeaderSize) return std::nullopt;

  const uint8_t type = message[0];
  if (type == kEchoReply) {
    if (outer->source != probe.destination) return std::nullopt;
    if (!IsOurEcho(message, kEchoReply, probe, true)) return std::nullopt;
  } else if (type == kTimeExceeded || type == kDestinationUnreachable) {
    if (!QuotesOurRequest(message.subspan(kIcmpHeaderSize), probe)) return std::nullopt;
  } else {
    return std::nullopt;
  }
  return ProbeAnswer{type, message[1], outer->source};
}

std::optional<ProbeAnswer> MatchDatagramReply(std::span<const uint8_t> message, uint32_t source,
                                              const Probe& probe) {
  if (source != probe.destination) return std::nullopt;
  if (!IsOurEcho(message, kEchoReply, probe, false)) return std::nullopt;
  return ProbeAnswer{kEchoReply, message[1], source};
}

bool IsOurQueuedRequest(std::span<const uint8_t> original, const Probe& probe) {
  return IsOurEcho(original, kEchoRequest, probe, false);
}

}  // namespace rk::icmp
