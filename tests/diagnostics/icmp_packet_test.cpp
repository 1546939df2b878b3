#include "diagnostics/icmp_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace rk::icmp {
namespace {

using Bytes = std::vector<uint8_t>;
using rk::testing::Ip;

const uint32_t kDestination = Ip(203, 0, 113, 10);
const uint32_t kRouter = Ip(198, 51, 100, 1);
const uint32_t kUnrelated = Ip(198, 51, 100, 99);
const uint32_t kClient = Ip(192, 0, 2, 2);
constexpr uint16_t kId = 0x4D2B;
constexpr uint16_t kSequence = 0x0107;
const Probe kProbe{kDestination, kId, kSequence};

// An ICMP message; the checksum is left zero since the parser does not use it.
Bytes Icmp(uint8_t type, uint8_t code, uint16_t id, uint16_t sequence, std::size_t payload = 32) {
  Bytes message(8 + payload, 0x45);
  message[0] = type;
  message[1] = code;
  message[2] = message[3] = 0;
  message[4] = static_cast<uint8_t>(id >> 8);
  message[5] = static_cast<uint8_t>(id);
  message[6] = static_cast<uint8_t>(sequence >> 8);
  message[7] = static_cast<uint8_t>(sequence);
  return message;
}

Bytes Cat(const Bytes& first, const Bytes& second) {
  Bytes joined(first.size() + second.size());
  if (!first.empty()) std::memcpy(joined.data(), first.data(), first.size());
  if (!second.empty()) std::memcpy(joined.data() + first.size(), second.data(), second.size());
  return joined;
}

// An IPv4 datagram around `payload`; `headerWords` above 5 adds zero options.
Bytes Ipv4(uint32_t source, uint32_t destination, const Bytes& payload, uint8_t protocol = 1,
           int headerWords = 5) {
  Bytes packet(static_cast<std::size_t>(headerWords) * 4, 0);
  const std::size_t total = packet.size() + payload.size();
  packet[0] = static_cast<uint8_t>(0x40 | headerWords);
  packet[2] = static_cast<uint8_t>(total >> 8);
  packet[3] = static_cast<uint8_t>(total);
  packet[8] = 64;
  packet[9] = protocol;
  std::memcpy(&packet[12], &source, 4);
  std::memcpy(&packet[16], &destination, 4);
  return Cat(packet, payload);
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

// What routers quote: the original IP header and the request's first 8 bytes.
Bytes OurQuotedRequest() {
  return Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId, kSequence, 0));
}

// A router's report: its own header (type, code, unused word) and the quote.
Bytes Report(uint8_t type, uint8_t code, const Bytes& quote) {
  return Cat(Bytes{type, code, 0, 0, 0, 0, 0, 0}, quote);
}

TEST(IcmpPacket, ChecksumMatchesReferenceSums) {
  struct Row {
    Bytes bytes;
    uint16_t checksum;
  };
  const Row rows[] = {
      {{0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7}, 0x220D},  // RFC 1071's example
      {{}, 0xFFFF},
      {{0x01}, 0xFEFF},                    // odd length: padded with a zero byte
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0x0000},  // carries folded back in
      {{0x08, 0x00, 0x00, 0x00, 0x12, 0x34, 0x00, 0x01}, 0xE5CA},
  };
  for (const Row& row : rows) EXPECT_EQ(InternetChecksum(row.bytes), row.checksum);
}

TEST(IcmpPacket, EchoRequestCarriesIdSequencePayloadAndAValidChecksum) {
  const Bytes request = BuildEchoRequest(0x1234, 0x0001, 0, 0x45);
  EXPECT_EQ(request, (Bytes{0x08, 0x00, 0xE5, 0xCA, 0x12, 0x34, 0x00, 0x01}));

  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{32}, std::size_t{255}}) {
    const Bytes full = BuildEchoRequest(0xBEEF, 0xFF01, size, 0x45);
    ASSERT_EQ(full.size(), 8 + size);
    EXPECT_EQ(full[0], kEchoRequest);
    EXPECT_EQ(full[1], 0);
    EXPECT_EQ((Bytes{full[4], full[5], full[6], full[7]}), (Bytes{0xBE, 0xEF, 0xFF, 0x01}));
    EXPECT_EQ(Bytes(full.begin() + 8, full.end()), Bytes(size, 0x45));
    EXPECT_EQ(InternetChecksum(full), 0)
        << "a receiver's sum over the message verifies, size " << size;
  }
}

TEST(IcmpPacket, RawAnswersToOurProbe) {
  struct Row {
    std::string name;
    Bytes datagram;
    uint8_t type;
    uint32_t answerer;
  };
  const Bytes reply = Icmp(kEchoReply, 0, kId, kSequence);
  const Row rows[] = {
      {"echo reply from the destination", Ipv4(kDestination, kClient, reply), kEchoReply,
       kDestination},
      {"echo reply with IP options", Ipv4(kDestination, kClient, reply, 1, 7), kEchoReply,
       kDestination},
      {"echo reply with bytes past its stated length",
       Cat(Ipv4(kDestination, kClient, reply), Bytes(12, 0xEE)), kEchoReply, kDestination},
      {"time exceeded from a router",
       Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, OurQuotedRequest())), kTimeExceeded,
       kRouter},
      {"host unreachable from a router",
       Ipv4(kRouter, kClient, Report(kDestinationUnreachable, 1, OurQuotedRequest())),
       kDestinationUnreachable, kRouter},
      {"time exceeded quoting the whole request",
       Ipv4(kRouter, kClient,
            Report(kTimeExceeded, 0,
                   Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId, kSequence)))),
       kTimeExceeded, kRouter},
      {"report quoting a header with options",
       Ipv4(kRouter, kClient,
            Report(kTimeExceeded, 0,
                   Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId, kSequence, 0), 1, 6))),
       kTimeExceeded, kRouter},
  };
  for (const Row& row : rows) {
    const auto answer = MatchRawReply(row.datagram, kProbe);
    ASSERT_TRUE(answer.has_value()) << row.name;
    EXPECT_EQ(answer->type, row.type) << row.name;
    EXPECT_EQ(answer->answerer, row.answerer) << row.name;
  }
}

TEST(IcmpPacket, RawDatagramsThatAreNotOurs) {
  struct Row {
    std::string name;
    Bytes datagram;
  };
  const Bytes reply = Icmp(kEchoReply, 0, kId, kSequence);
  Bytes quotedLengthTooSmall = OurQuotedRequest();
  quotedLengthTooSmall[3] = 27;  // says the original ended inside its ICMP header
  Bytes outerLengthCutsIcmp = Ipv4(kDestination, kClient, reply);
  outerLengthCutsIcmp[3] = 24;
  Bytes outerLengthBelowHeader = Ipv4(kDestination, kClient, reply);
  outerLengthBelowHeader[3] = 16;
  Bytes quotedShortIhl = OurQuotedRequest();
  quotedShortIhl[0] = 0x44;
  Bytes quotedLongIhl = OurQuotedRequest();
  quotedLongIhl[0] = 0x4F;  // 60 bytes of header, more than the quote holds
  Bytes quotedVersion6 = OurQuotedRequest();
  quotedVersion6[0] = 0x65;
  Bytes outerShortIhl = Ipv4(kDestination, kClient, reply);
  outerShortIhl[0] = 0x43;
  Bytes outerVersion6 = Ipv4(kDestination, kClient, reply);
  outerVersion6[0] = 0x65;

  const Row rows[] = {
      // Echo replies that are someone else's.
      {"foreign id", Ipv4(kDestination, kClient, Icmp(kEchoReply, 0, kId + 1, kSequence))},
      {"wrong sequence", Ipv4(kDestination, kClient, Icmp(kEchoReply, 0, kId, kSequence - 1))},
      {"reply from an unrelated address", Ipv4(kUnrelated, kClient, reply)},
      {"our own request seen on the way out",
       Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId, kSequence))},
      {"reply carried in another protocol", Ipv4(kDestination, kClient, reply, 17)},
      // Reports about something else.
      {"report about another destination",
       Ipv4(kRouter, kClient,
            Report(kTimeExceeded, 0,
                   Ipv4(kClient, kUnrelated, Icmp(kEchoRequest, 0, kId, kSequence, 0))))},
      {"report about a foreign id",
       Ipv4(kRouter, kClient,
            Report(kTimeExceeded, 0,
                   Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId ^ 0x100, kSequence, 0))))},
      {"report about another sequence",
       Ipv4(kRouter, kClient,
            Report(kDestinationUnreachable, 3,
                   Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId, kSequence + 1, 0))))},
      {"report about an echo reply",
       Ipv4(kRouter, kClient,
            Report(kTimeExceeded, 0,
                   Ipv4(kClient, kDestination, Icmp(kEchoReply, 0, kId, kSequence, 0))))},
      {"report about a UDP datagram",
       Ipv4(kRouter, kClient,
            Report(kTimeExceeded, 0,
                   Ipv4(kClient, kDestination, Icmp(kEchoRequest, 0, kId, kSequence, 0), 17)))},
      {"parameter problem is no answer", Ipv4(kRouter, kClient, Report(12, 0, OurQuotedRequest()))},
      {"redirect is no answer", Ipv4(kRouter, kClient, Report(5, 1, OurQuotedRequest()))},
      // Broken quotes.
      {"quote cut inside its IP header",
       Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, Cut(OurQuotedRequest(), 19)))},
      {"quote cut inside the request header",
       Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, Cut(OurQuotedRequest(), 27)))},
      {"quoted length below header and request",
       Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, quotedLengthTooSmall))},
      {"quoted header length below 20",
       Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, quotedShortIhl))},
      {"quoted header longer than the quote",
       Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, quotedLongIhl))},
      {"quoted version 6", Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, quotedVersion6))},
      {"report without a quote", Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, {}))},
      // Broken outer datagrams.
      {"empty", {}},
      {"shorter than an IP header", Cut(Ipv4(kDestination, kClient, reply), 19)},
      {"IP header without ICMP header", Cut(Ipv4(kDestination, kClient, reply), 27)},
      {"stated length cuts the ICMP header", outerLengthCutsIcmp},
      {"stated length below the header", outerLengthBelowHeader},
      {"header length below 20", outerShortIhl},
      {"version 6", outerVersion6},
  };
  for (const Row& row : rows)
    EXPECT_FALSE(MatchRawReply(row.datagram, kProbe).has_value()) << row.name;
}

TEST(IcmpPacket, EveryCutOfARouterReportBeforeTheQuotedRequestEndsIsRejected) {
  const Bytes report = Ipv4(kRouter, kClient, Report(kTimeExceeded, 0, OurQuotedRequest()));
  ASSERT_TRUE(MatchRawReply(report, kProbe).has_value());
  // The outer header still states the full length: only what arrived counts.
  for (std::size_t size = 0; size < report.size(); ++size)
    EXPECT_FALSE(MatchRawReply(Cut(report, size), kProbe).has_value()) << "cut at " << size;
}

TEST(IcmpPacket, DatagramSocketReplies) {
  // The kernel rewrites the id of a ping socket, so any id is ours.
  struct Row {
    std::string name;
    Bytes message;
    uint32_t source;
    bool ours;
  };
  const Row rows[] = {
      {"reply with our sequence", Icmp(kEchoReply, 0, kId, kSequence), kDestination, true},
      {"reply with the kernel's id", Icmp(kEchoReply, 0, 0x0BAD, kSequence), kDestination, true},
      {"reply without payload", Icmp(kEchoReply, 0, kId, kSequence, 0), kDestination, true},
      {"wrong sequence", Icmp(kEchoReply, 0, kId, kSequence + 1), kDestination, false},
      {"from an unrelated address", Icmp(kEchoReply, 0, kId, kSequence), kUnrelated, false},
      {"a request", Icmp(kEchoRequest, 0, kId, kSequence), kDestination, false},
      {"a report", Report(kTimeExceeded, 0, OurQuotedRequest()), kDestination, false},
      {"cut inside the header", Cut(Icmp(kEchoReply, 0, kId, kSequence), 7), kDestination, false},
      {"empty", {}, kDestination, false},
  };
  for (const Row& row : rows) {
    const auto answer = MatchDatagramReply(row.message, row.source, kProbe);
    EXPECT_EQ(answer.has_value(), row.ours) << row.name;
    if (answer) {
      EXPECT_EQ(answer->answerer, kDestination) << row.name;
    }
  }
}

TEST(IcmpPacket, QueuedOriginalIsOursOnlyWithOurSequence) {
  EXPECT_TRUE(IsOurQueuedRequest(Icmp(kEchoRequest, 0, 0x0BAD, kSequence), kProbe));
  EXPECT_TRUE(IsOurQueuedRequest(Icmp(kEchoRequest, 0, kId, kSequence, 0), kProbe));
  EXPECT_FALSE(IsOurQueuedRequest(Icmp(kEchoRequest, 0, kId, kSequence + 1), kProbe));
  EXPECT_FALSE(IsOurQueuedRequest(Icmp(kEchoReply, 0, kId, kSequence), kProbe));
  EXPECT_FALSE(IsOurQueuedRequest(Cut(Icmp(kEchoRequest, 0, kId, kSequence), 7), kProbe));
}

}  // namespace
}  // namespace rk::icmp
