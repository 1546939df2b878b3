#pragma once
#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

#include "diagnostics/reachability_check.h"

namespace CLI {
class App;
}

namespace rk::cli {

// How a check runs, as `check` and `report` take it on the command line.
struct CheckRunOptions {
  uint32_t timeoutMs = 10000;  // per connect
  bool noDiagnose = false;     // no echo or path probe for what is not open
};
// Adds --timeout-ms and --no-diagnose, bound to `options` (which must outlive the parse).
void AddCheckOptions(CLI::App& command, CheckRunOptions& options);

// A check of every endpoint of `catalogue` with the system's resolver and
// echo service; `stop` ends its waits early. The callbacks as for
// ReachabilityCheck::Run.
struct CheckRun {
  CheckReport report;
  std::chrono::system_clock::time_point started;
};
[[nodiscard]] CheckRun RunCheck(const HostCatalogue& catalogue, const CheckRunOptions& options,
                                const StopFlag& stop, const VerdictCallback& onVerdict = {},
                                const WaitingCallback& onWaiting = {});

// The two renderings of a check: text lines (code page 950, like every
// system text) and one JSON document (UTF-8). Both read only the result
// structs; the support report reuses them.

// The label column's width in bytes: the longest label of `catalogue`,
// within 12..48, so that lines printed as they arrive still line up.
[[nodiscard]] std::size_t LabelColumnWidth(const HostCatalogue& catalogue);
// One table line: index, label, address:port, verdict, time.
[[nodiscard]] std::string CheckTableLine(const EndpointResult& endpoint, std::size_t labelWidth);
// The table's heading.
[[nodiscard]] std::string CheckTableHeading(std::size_t labelWidth);
// The cause lines (one per endpoint that is not open), then the summary line.
[[nodiscard]] std::vector<std::string> CheckClosingLines(const CheckReport& report);
// The whole table after the fact (the label column as wide as the longest
// label of its endpoints, within the same bounds): heading, every endpoint
// in catalogue order, then the closing lines.
[[nodiscard]] std::vector<std::string> CheckTextLines(const CheckReport& report);

// ISO 8601 in UTC with milliseconds: 2026-12-06T16:50:00.123Z.
[[nodiscard]] std::string IsoUtc(std::chrono::system_clock::time_point when);

// The check as JSON; field names in docs/json.md.
// `clientRoot` is in the terminal's encoding, as the command line gave it.
[[nodiscard]] nlohmann::ordered_json CheckJson(const CheckReport& report, const std::string& clientRoot,
                                       std::chrono::system_clock::time_point started);

}  // namespace rk::cli
