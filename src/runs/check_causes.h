#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runs/reachability_check.h"

namespace rk {

// The cause of an endpoint's verdict from its address's diagnosis (none when
// the address was not diagnosed); `icmpAvailable` false says the echoes
// could not be sent. Empty for Open.
[[nodiscard]] std::string CauseOf(const EndpointResult& endpoint, const AddressDiagnosis* diagnosis,
                                  bool icmpAvailable);

// The same cause in Traditional Chinese (code page 950), for the window; kept
// branch for branch beside CauseOf so that the two never tell different stories.
[[nodiscard]] std::string CauseWords(const EndpointResult& endpoint, const AddressDiagnosis* diagnosis,
                                     bool icmpAvailable);

// The path probe's reading of one batch of answers, results[i] for TTL i+1.
[[nodiscard]] PathProbe ReadPath(uint32_t target, const std::vector<EchoResult>& results);

}  // namespace rk
