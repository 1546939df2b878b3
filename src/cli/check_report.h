#pragma once
#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "base/utc_time.h"
#include "cli/cli.h"
#include "runs/check_table.h"
#include "probes/proxy_connector.h"
#include "runs/reachability_check.h"
#include "runs/support_report.h"

namespace CLI {
class App;
}

namespace rk::cli {

// How a check runs, as `check` and `report` take it on the command line.
struct CheckRunOptions {
  uint32_t timeoutMs = kConnectTimeoutMs;  // per connect
  bool noDiagnose = false;     // no echo or path probe for what is not open
};
// Adds --timeout-ms and --no-diagnose, bound to `options` (which must outlive the parse).
void AddCheckOptions(CLI::App& command, CheckRunOptions& options);

// A check of every endpoint of `catalogue` with the system's resolver and
// echo service, then, when `route` is given and no Ctrl+C came, of every
// endpoint through that proxy (all at once). Ctrl+C ends the waits early.
// `waitingFormat` (text mode only; none when null): a progress line on stderr
// each second ("%zu / %zu": the endpoints with a verdict, all endpoints), and
// one before the proxied attempts.
[[nodiscard]] CheckRun RunCheck(const Context& context, const HostCatalogue& catalogue,
                                const CheckRunOptions& options,
                                const std::optional<ProxyRoute>& route, const char* waitingFormat);

// The check as JSON (field names in docs/json.md); with a proxy, "proxy"
// {"type", "host", "port", "settings_file"} comes first (never a login) and
// each endpoint has "proxy_verdict" and "proxy_reason".
// `clientRoot` is in the terminal's encoding, as the command line gave it.
[[nodiscard]] nlohmann::ordered_json CheckJson(const CheckRun& run, const std::string& clientRoot);

}  // namespace rk::cli
