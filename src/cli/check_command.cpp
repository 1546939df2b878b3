#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "base/format.h"
#include "cli/check_report.h"
#include "cli/proxy_check.h"
#include "cli/cli.h"
#include "cli/results.h"
#include "config/host_catalogue.h"

namespace rk::cli {

namespace {

struct CheckCommandOptions : CheckRunOptions {
  bool viaProxy = false;
};

// Text: the heading, then each verdict the moment it arrives, a note to
// stderr while a wait lasts, then the causes and the summary. JSON (the
// global --json): one document at the end.
int RunCheckCommand(const Context& context, const CheckCommandOptions& options) {
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (catalogue.empty()) return NoHosts(context);
  std::optional<ProxyRoute> route;
  if (options.viaProxy && !(route = StoredProxyOrSay(context))) return kExitNoProxy;

  const std::size_t labelWidth = LabelColumnWidth(catalogue);
  if (!context.json) WriteLine(context, context.out, CheckTableHeading(labelWidth));
  VerdictCallback onVerdict;
  WaitingCallback onWaiting;
  if (!context.json) {
    onVerdict = [&context, labelWidth](const EndpointResult& endpoint) {
      WriteLine(context, context.out, CheckTableLine(endpoint, labelWidth));
    };
    onWaiting = [&context](std::size_t waiting) {
      WriteLine(context, context.err, Format("... waiting for %zu endpoint(s)", waiting));
    };
  }
  const CheckRun run = RunCheck(catalogue, options, context.interrupted, onVerdict, onWaiting);
  const CheckReport& report = run.report;
  // The proxied verdicts follow the direct ones, for the same endpoints.
  std::vector<ProxyResult> proxied;
  if (route && !context.interrupted.load()) {
    std::vector<ProxyTarget> targets;
    std::vector<std::size_t> indexes;
    std::vector<std::string> labels;
    for (const EndpointResult& endpoint : report.endpoints) {
      targets.push_back({endpoint.host, endpoint.port});
      indexes.push_back(endpoint.index);
      labels.push_back(endpoint.label);
    }
    if (!context.json) WriteLine(context, context.out, "");
    proxied = RunProxiedCheck(context, *route, targets, indexes, labels, options.timeoutMs,
                              !context.json);
  }
  if (context.json) {
    nlohmann::ordered_json document = CheckJson(report, context.paths.root(), run.started);
    if (route) document = WithProxyVerdicts(std::move(document), *route, proxied);
    WriteJson(context, document);
  } else {
    for (const std::string& line : CheckClosingLines(report)) WriteLine(context, context.out, line);
  }
  if (context.interrupted.load()) return kExitInterrupted;
  if (route)
    return std::all_of(proxied.begin(), proxied.end(), [](const ProxyResult& r) {
             return r.verdict == ProxyVerdict::kOpenViaProxy;
           }) ? kExitOk : kExitFailed;
  return report.AllOpen() ? kExitOk : kExitFailed;
}

}  // namespace

void AddCheckCommand(Commands& commands) {
  auto options = std::make_shared<CheckCommandOptions>();
  CLI::App* command = commands.Add(
      "check",
      "Every endpoint of the host list at once (each entry on each of its ports): one verdict a "
      "line as it arrives (open, refused, timeout, unreachable, unresolved, no-port, error), "
      "then a cause for each endpoint that is not open and a summary",
      "0 every endpoint open, 1 some endpoint not open, 3 no hosts",
      [options](const Context& c) { return RunCheckCommand(c, *options); });
  AddCheckOptions(*command, *options);
  command->add_flag("--via-proxy", options->viaProxy,
                    "also every endpoint through the proxy stored in Bin\\BaseConfig.ini "
                    "(success: every endpoint open through it; 3 when no proxy is stored)");
}

}  // namespace rk::cli
