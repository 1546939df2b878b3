#pragma once
// The check of every host as the window's result list shows it: a line per
// endpoint as its verdict arrives, then the causes, then a summary. Texts in
// code page 950, in the style of the window's other lines.
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

// "label  address:port  verdict  time毫秒"; the host text stands in for the
// address of a name that did not resolve; an entry without a port shows no
// port and no time. With `proxied`, the verdict through the proxy follows:
// "...毫秒，經代理：verdict".
[[nodiscard]] std::string EndpointLine(const EndpointResult& endpoint,
                                       const ProxyResult* proxied = nullptr);

// After the run: the conclusion's line when there is one, then one cause line per endpoint (address:port) that has a cause,
// each named once, then (with `proxied`, parallel to the report's endpoints)
// the proxy's reason for each endpoint not open through it, each named once,
// then the summary line with the count of every verdict seen.
[[nodiscard]] std::vector<std::string> ClosingLines(
    const CheckReport& report, const std::vector<ProxyResult>* proxied = nullptr,
    const Conclusion* conclusion = nullptr);

}  // namespace rk
