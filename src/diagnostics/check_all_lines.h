#pragma once
// The check of every host as the window's result list shows it: a line per
// endpoint as its verdict arrives, then the causes, then a summary. Texts in
// code page 950, in the style of the window's other lines.
#include <string>
#include <vector>

#include "diagnostics/reachability_check.h"

namespace rk {

// The verdict in Traditional Chinese (code page 950).
[[nodiscard]] const char* VerdictWords(Verdict verdict);

// "label  address:port  verdict  time毫秒"; the host text stands in for the
// address of a name that did not resolve; an entry without a port shows no
// port and no time.
[[nodiscard]] std::string EndpointLine(const EndpointResult& endpoint);

// After the run: one cause line per endpoint (address:port) that has a cause,
// each named once, then the summary line with the count of every verdict seen.
[[nodiscard]] std::vector<std::string> ClosingLines(const CheckReport& report);

}  // namespace rk
