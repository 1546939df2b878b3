// Feeds arbitrary bytes to the ICMP answer matching: what the network can
// send a raw socket or a ping socket must never be read past its end, and a
// match must always make sense for the probe.
//
// Input: 4 bytes destination, 2 bytes id, 2 bytes sequence (the probe), then
// the received bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "diagnostics/icmp_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rk::icmp;
  if (size < 8) return 0;
  Probe probe;
  std::memcpy(&probe.destination, data, 4);
  probe.id = static_cast<uint16_t>((data[4] << 8) | data[5]);
  probe.sequence = static_cast<uint16_t>((data[6] << 8) | data[7]);
  // An exact-size copy, so that a read past the end is caught at once.
  const std::vector<uint8_t> received(data + 8, data + size);
  const std::span<const uint8_t> bytes(received);

  if (const auto raw = MatchRawReply(bytes, probe)) {
    if (raw->type != kEchoReply && raw->type != kTimeExceeded &&
        raw->type != kDestinationUnreachable)
      std::abort();
    if (raw->type == kEchoReply && raw->answerer != probe.destination) std::abort();
    uint32_t outerSource = 0;
    std::memcpy(&outerSource, received.data() + 12, 4);
    if (raw->answerer != outerSource) std::abort();
  }
  if (const auto datagram = MatchDatagramReply(bytes, probe.destination, probe)) {
    if (datagram->type != kEchoReply || datagram->answerer != probe.destination) std::abort();
  }
  (void)IsOurQueuedRequest(bytes, probe);
  return 0;
}
