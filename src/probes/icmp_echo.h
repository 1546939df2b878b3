#pragma once
#include <cstdint>
#include <span>

#include "probes/stop_flag.h"

namespace rk {

// One echo's outcome. errorCode is 0 after an answered echo; replyAddress
// and roundTripMs are written only when an answer came.
struct EchoResult {
  uint32_t errorCode = 0;
  uint32_t replyAddress = 0;  // network byte order
  uint32_t roundTripMs = 0;
  bool unreachable = false;  // the answer is a destination-unreachable report
};

// Status numbers of the Windows ICMP layer, used on every platform so that a
// line reads the same everywhere.
inline constexpr uint32_t kIpBufTooSmall = 11001;
inline constexpr uint32_t kIpDestNetUnreachable = 11002;
inline constexpr uint32_t kIpDestHostUnreachable = 11003;
inline constexpr uint32_t kIpReqTimedOut = 11010;
inline constexpr uint32_t kIpGeneralFailure = 11050;

inline constexpr uint32_t kEchoTimeoutMs = 3000;
inline constexpr int kEchoDataSize = 32;
inline constexpr unsigned char kEchoPayloadByte = 0x45;

// One echo of a batch: ttl 1..255, or 0 for the platform's default.
struct EchoRequest {
  uint32_t destination = 0;  // network byte order
  int ttl = 0;
};

// Sends ICMP echoes, one at a time or a batch at once.
class EchoService {
 public:
  virtual ~EchoService() = default;
  // True when echoes can be sent. The first call decides for the whole
  // process; later calls repeat its answer without trying again.
  [[nodiscard]] virtual bool Initialize() = 0;
  // 1 when an ICMP handle (socket) could be had, whether or not the echo was
  // answered; 0 otherwise, with `result` untouched.
  // * ttl and dataSize use their low 8 bits; noOptions != 0 sends with the
  //   platform's default time-to-live.
  // * A router's time-exceeded or unreachable report is an answer, from the
  //   router's address.
  // * `stop`, when set during the wait, ends it early (errorCode kIpReqTimedOut).
  virtual int SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs,
                       int dataSize, int noOptions, const StopFlag* stop = nullptr) = 0;
  // Sends every request at once and collects the answers within one
  // timeoutMs for all of them: results[i] answers requests[i], with the
  // meaning of SendEcho (kEchoDataSize bytes of data). False, with `results`
  // untouched, when no echo could be sent at all.
  // * results.size() must equal requests.size().
  // * This implementation runs one SendEcho per request on threads of its own.
  [[nodiscard]] virtual bool SendEchoBatch(std::span<const EchoRequest> requests,
                                           std::span<EchoResult> results, uint32_t timeoutMs,
                                           const StopFlag* stop = nullptr);
};

// The platform's echo service: ICMP.DLL on Windows; an unprivileged ICMP
// datagram socket, else a raw socket, elsewhere. Its state is process-wide.
class IcmpEchoService final : public EchoService {
 public:
  bool Initialize() override;
  int SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs, int dataSize,
               int noOptions, const StopFlag* stop = nullptr) override;
  bool SendEchoBatch(std::span<const EchoRequest> requests, std::span<EchoResult> results,
                     uint32_t timeoutMs, const StopFlag* stop = nullptr) override;
};

// A line telling how to allow ICMP on this platform when Initialize fails
// (empty where there is nothing to say).
[[nodiscard]] const char* IcmpPermissionHint();

}  // namespace rk
