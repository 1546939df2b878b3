// ICMP answer matching on arbitrary bytes: no read past the end, and every match makes sense for
// the probe. Input: destination (4 bytes), id and sequence (2 each, big-endian), received bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "probes/icmp_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rk::icmp;
  if (size < 8) return 0;
  uint32_t destination = 0;
  std::memcpy(&destination, data, 4);
  const Probe probe{destination, static_cast<uint16_t>((data[4] << 8) | data[5]),
                    static_cast<uint16_t>((data[6] << 8) | data[7])};
  const std::vector<uint8_t> received(data + 8, data + size);  // exact size: overreads are caught
  if (const auto raw = MatchRawReply(received, probe)) {
    uint32_t outerSource = 0;
    std::memcpy(&outerSource, received.data() + 12, 4);
    if (raw->answerer != outerSource) std::abort();
    const bool report = raw->type == kTimeExceeded || raw->type == kDestinationUnreachable;
    if (raw->type == kEchoReply ? raw->answerer != probe.destination : !report) std::abort();
  }
  if (const auto answer = MatchDatagramReply(received, probe.destination, probe))
    if (answer->type != kEchoReply || answer->answerer != probe.destination) std::abort();
  (void)IsOurQueuedRequest(received, probe);
  return 0;
}
