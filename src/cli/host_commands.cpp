#include <CLI/CLI.hpp>
#include <string>

#include "cli/cli.h"
#include "cli/results.h"

namespace rk::cli {

namespace {

int RunHosts(const Context& context) {
  const HostsResult result = CollectHosts(context.profile, context.paths);
  Render(context, result);
  return result.hosts.empty() ? NoHosts(context) : kExitOk;
}

int RunPreference(const Context& context) {
  Render(context, CollectPreference(context.profile, context.paths));
  return kExitOk;
}

}  // namespace

int NoHosts(const Context& context) {
  context.err << "reachkit-cli: no hosts: the client's configuration below " << context.paths.root()
              << " is missing or lists none\n"
              << std::flush;
  return kExitNoHosts;
}

void AddHostCommands(Commands& commands) {
  commands.Add("hosts", "the host list: INDEX<TAB>LABEL per line, in the window's order",
               "0 listed, 3 no hosts", RunHosts);
  commands.Add("preference", "the connection-preference line", "0 done", RunPreference);
}

}  // namespace rk::cli
