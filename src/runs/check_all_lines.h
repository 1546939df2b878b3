#pragma once
// The words of the window's check of every host: the verdicts, and the
// closing lines (causes, then a summary) in the result list. Texts in code
// page 950, in the style of the window's other lines.
#include <string>
#include <vector>

#include "probes/proxy_connector.h"
#include "runs/conclusion.h"
#include "runs/reachability_check.h"

namespace rk {

// The verdict in Traditional Chinese (code page 950).
[[nodiscard]] const char* VerdictWords(Verdict verdict);

// A verdict through the proxy in Traditional Chinese (code page 950).
[[nodiscard]] const char* ProxyVerdictWords(ProxyVerdict verdict);

// After the run: the conclusion's line when there is one, then one cause line per endpoint (address:port) that has a cause,
// each named once, then (with `proxied`, parallel to the report's endpoints)
// the proxy's reason for each endpoint not open through it, each named once,
// then the summary line with the count of every verdict seen.
[[nodiscard]] std::vector<std::string> ClosingLines(
    const CheckReport& report, const std::vector<ProxyResult>* proxied = nullptr,
    const Conclusion* conclusion = nullptr);

}  // namespace rk
