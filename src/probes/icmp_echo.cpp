#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "probes/icmp_echo.h"

namespace rk {

bool EchoService::SendEchoBatch(std::span<const EchoRequest> requests, std::span<EchoResult> results,
                                uint32_t timeoutMs, const StopFlag* stop) {
  if (requests.size() != results.size()) return false;
  std::vector<EchoResult> answers(requests.size());
  std::vector<int> sent(requests.size(), 0);
  {
    // Each echo blocks its thread, so a pool of at most kMaxSenders threads
    // takes the requests in turn: a batch of any size never asks the system
    // for more threads than that.
    constexpr std::size_t kMaxSenders = 128;
    std::atomic<std::size_t> next{0};
    const auto sender = [this, &requests, &answers, &sent, &next, timeoutMs, stop] {
      for (std::size_t i = next++; i < requests.size(); i = next++) {
        const EchoRequest& request = requests[i];
        sent[i] = SendEcho(request.destination, answers[i], request.ttl, timeoutMs, kEchoDataSize,
                           request.ttl == 0 ? 1 : 0, stop);
      }
    };
    std::vector<std::jthread> senders;
    const std::size_t count = std::min(kMaxSenders, requests.size());
    senders.reserve(count);
    try {
      for (std::size_t t = 0; t < count; ++t) senders.emplace_back(sender);
    } catch (const std::system_error&) {
      // The system gave fewer threads: those running take every request.
      if (senders.empty()) return false;
    }
  }  // every sender has ended here
  bool any = false;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (sent[i] != 1) continue;
    any = true;
    results[i] = answers[i];
  }
  if (!any) return false;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    if (sent[i] == 1) continue;
    results[i] = EchoResult{kIpGeneralFailure, 0, 0};
  }
  return true;
}

}  // namespace rk
