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
    std::vector<std::jthread> senders;
    senders.reserve(requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
      senders.emplace_back([this, &requests, &answers, &sent, i, timeoutMs, stop] {
        const EchoRequest& request = requests[i];
        sent[i] = SendEcho(request.destination, answers[i], request.ttl, timeoutMs, kEchoDataSize,
                           request.ttl == 0 ? 1 : 0, stop);
      });
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
