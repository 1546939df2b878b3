#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <optional>

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

// Text: the conclusion first, then the table, the causes and the summary,
// once every verdict is in (the lines of the support report's check); a
// progress line on stderr each second meanwhile, so a long wait is never
// silent. JSON (the global --json): one document at the end.
int RunCheckCommand(const Context& context, const CheckCommandOptions& options) {
  if (const int unreadable = UnreadableHostFiles(context)) return unreadable;
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (catalogue.empty()) return NoHosts(context);
  std::optional<ProxyRoute> route;
  if (options.viaProxy && !(route = StoredProxyOrSay(context))) return kExitNoProxy;

  const CheckRun run =
      RunCheck(context, catalogue, options, route, context.json ? nullptr : "... %zu / %zu done");
  if (context.json)
    WriteJson(context, CheckJson(run, context.paths.root()));
  else
    for (const std::string& line : CheckTextLines(run, run.proxy ? run.proxy->settingsPath : ""))
      WriteLine(context, context.out, line);
  if (context.interrupted.load()) return kExitInterrupted;
  if (route)
    return std::all_of(run.proxied.begin(), run.proxied.end(), [](const ProxyResult& r) {
             return r.verdict == ProxyVerdict::OpenViaProxy;
           }) ? kExitOk : kExitFailed;
  return run.report.AllOpen() ? kExitOk : kExitFailed;
}

}  // namespace

void AddCheckCommand(Commands& commands) {
  auto options = std::make_shared<CheckCommandOptions>();
  CLI::App* command = commands.Add(
      "check",
      "Every endpoint of the host list at once (each entry on each of its ports): the conclusion "
      "(where the road breaks, the next step), then one verdict a line (open, refused, timeout, "
      "unreachable, unresolved, no-port, error, no-host, interrupted), a cause for each endpoint "
      "that is not open and a summary",
      "0 every endpoint open, 1 some endpoint not open, 3 no hosts",
      [options](const Context& c) { return RunCheckCommand(c, *options); });
  AddCheckOptions(*command, *options);
  command->add_flag("--via-proxy", options->viaProxy,
                    "also every endpoint through the proxy stored in Bin\\BaseConfig.ini "
                    "(success: every endpoint open through it; 3 when no proxy is stored)");
}

}  // namespace rk::cli
