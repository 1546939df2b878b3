#include "probes/icmp_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace rk::icmp {
namespace {

using Bytes = std::vector<uint8_t>;
using rk::testing::Ip;

const uint32_t kDestination = Ip(203, 0, 113, 10), kRouter = Ip(198, 51, 100, 1);
const uint32_t kUnrelated = Ip(198, 51, 100, 99), kClient = Ip(192, 0, 2, 2);
constexpr uint16_t kId = 0x4D2B, kSeq = 0x0107;
const Probe kProbe{kDestination, kId, kSeq};
constexpr uint8_t kReply = kEchoReply, kRequest = kEchoRequest, kExceeded = kTimeExceeded;

// An ICMP message with a zero checksum (matching does not verify it).
Bytes Icmp(uint8_t type, uint16_t id, uint16_t sequence, std::size_t payload = 32) {
  Bytes message(8 + payload, 0x45);
  message[0] = type;
  message[1] = message[2] = message[3] = 0;
  message[4] = static_cast<uint8_t>(id >> 8), message[5] = static_cast<uint8_t>(id);
  message[6] = static_cast<uint8_t>(sequence >> 8), message[7] = static_cast<uint8_t>(sequence);
  return message;
}

// memcpy rather than insert, which mingw's -O3 bounds check misreads.
Bytes Cat(const Bytes& a, const Bytes& b) {
  Bytes joined(a.size() + b.size());
  if (!a.empty()) std::memcpy(joined.data(), a.data(), a.size());
  if (!b.empty()) std::memcpy(joined.data() + a.size(), b.data(), b.size());
  return joined;
}

// An IPv4 datagram of ICMP `payload`; `words` above 5 adds zero options.
Bytes Ipv4(uint32_t source, uint32_t destination, const Bytes& payload, int words = 5) {
  Bytes packet(static_cast<std::size_t>(words) * 4, 0);
  const std::size_t total = packet.size() + payload.size();
  packet[0] = static_cast<uint8_t>(0x40 | words);
  packet[2] = static_cast<uint8_t>(total >> 8);
  packet[3] = static_cast<uint8_t>(total);
  packet[9] = kProtocolIcmp;
  std::memcpy(&packet[12], &source, 4);
  std::memcpy(&packet[16], &destination, 4);
  return Cat(packet, payload);
}

Bytes Patch(Bytes bytes, std::size_t at, uint8_t value) { bytes[at] = value; return bytes; }
Bytes Cut(Bytes bytes, std::size_t size) { bytes.resize(size); return bytes; }

// What routers quote: the original IP header and the request's first 8 bytes.
Bytes Quote(const Bytes& request = Icmp(kRequest, kId, kSeq, 0), uint32_t to = kDestination) {
  return Ipv4(kClient, to, request);
}

// A router's report (type, code, unused word, quote) as a datagram from it.
Bytes Report(uint8_t type, const Bytes& quote) {
  return Ipv4(kRouter, kClient, Cat(Bytes{type, 1, 0, 0, 0, 0, 0, 0}, quote));
}

// RFC 1071's sample, an odd length, and a built request that sums to zero (what a receiver checks).
TEST(IcmpPacket, ChecksumIsTheComplementedOnesComplementSum) {
  EXPECT_EQ(InternetChecksum(Bytes{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}), 0x220D);
  EXPECT_EQ(InternetChecksum(Bytes{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7, 0xAB}), 0x770C);
  const Bytes request = BuildEchoRequest(kId, kSeq, 33, 0xA5);
  EXPECT_EQ(InternetChecksum(request), 0);
  EXPECT_EQ(request, Cat(Patch(Patch(Icmp(kRequest, kId, kSeq, 0), 2, request[2]), 3, request[3]),
                         Bytes(33, 0xA5)));
}

TEST(IcmpPacket, RawDatagramIsOursOnlyWhenItAnswersOurProbe) {
  const Bytes reply = Icmp(kReply, kId, kSeq), request = Icmp(kRequest, kId, kSeq, 0);
  const Bytes fromTarget = Ipv4(kDestination, kClient, reply);
  const std::tuple<const char*, Bytes, int> rows[] = {  // the answer's type; -1: not ours
      {"our echo reply", fromTarget, kReply},
      {"with IP options", Ipv4(kDestination, kClient, reply, 7), kReply},
      {"bytes past the stated length", Cut(fromTarget, fromTarget.size() + 9), kReply},
      {"time exceeded from a router", Report(kExceeded, Quote()), kExceeded},
      {"unreachable from a router", Report(kDestinationUnreachable, Quote()), 3},
      {"quoting options", Report(kExceeded, Ipv4(kClient, kDestination, request, 6)), kExceeded},
      {"foreign id", Ipv4(kDestination, kClient, Icmp(kReply, kId + 1, kSeq)), -1},
      {"wrong sequence", Ipv4(kDestination, kClient, Icmp(kReply, kId, kSeq - 1)), -1},
      {"reply from an unrelated address", Ipv4(kUnrelated, kClient, reply), -1},
      {"report about another destination", Report(kExceeded, Quote(request, kUnrelated)), -1},
      {"report about a foreign id", Report(kExceeded, Quote(Icmp(kRequest, kId ^ 1, kSeq, 0))), -1},
      {"report about another sequence", Report(3, Quote(Icmp(kRequest, kId, 7, 0))), -1},
      {"report about a reply", Report(kExceeded, Quote(Icmp(kReply, kId, kSeq, 0))), -1},
      {"quoted length too small", Report(kExceeded, Patch(Quote(), 3, 27)), -1},
      {"quoted header longer than the quote", Report(kExceeded, Patch(Quote(), 0, 0x4F)), -1},
      {"quoted version 6", Report(kExceeded, Patch(Quote(), 0, 0x65)), -1},
      {"stated length cuts the ICMP header", Patch(fromTarget, 3, 24), -1},
  };
  for (const auto& [name, datagram, type] : rows) {
    const ProbeAnswer answer = MatchRawReply(datagram, kProbe).value_or(ProbeAnswer{0xFF, 0, 0});
    EXPECT_EQ(answer.type, type < 0 ? 0xFF : type) << name;
    EXPECT_EQ(answer.answerer, type < 0 ? 0 : type == kReply ? kDestination : kRouter) << name;
  }
  // Only what arrived counts, whatever the headers state.
  const Bytes report = Report(kExceeded, Quote());
  for (std::size_t size = 0; size < report.size(); ++size) {
    EXPECT_FALSE(MatchRawReply(Cut(report, size), kProbe).has_value()) << size;
    EXPECT_FALSE(size < 28 && MatchRawReply(Cut(fromTarget, size), kProbe).has_value()) << size;
  }
}

TEST(IcmpPacket, PingSocketMessagesMatchOnSequenceAndSource) {
  // The kernel owns a ping socket's id: any id is ours.
  const std::tuple<Bytes, uint32_t, uint32_t> rows[] = {  // message, source, expected answerer
      {Icmp(kReply, 0x0BAD, kSeq, 0), kDestination, kDestination},
      {Icmp(kReply, kId, kSeq + 1), kDestination, 0},
      {Icmp(kReply, kId, kSeq), kUnrelated, 0},
      {Icmp(kRequest, kId, kSeq), kDestination, 0},
      {Cut(Icmp(kReply, kId, kSeq), 7), kDestination, 0}};
  for (const auto& [message, source, answerer] : rows)
    EXPECT_EQ(MatchDatagramReply(message, source, kProbe).value_or(ProbeAnswer{}).answerer,
              answerer);
  // The original that comes back with a queued error report.
  EXPECT_TRUE(IsOurQueuedRequest(Icmp(kRequest, 0x0BAD, kSeq, 0), kProbe));
  EXPECT_FALSE(IsOurQueuedRequest(Icmp(kRequest, kId, kSeq + 1), kProbe));
  EXPECT_FALSE(IsOurQueuedRequest(Icmp(kReply, kId, kSeq), kProbe));
}

}  // namespace
}  // namespace rk::icmp
