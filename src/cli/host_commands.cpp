#include <CLI/CLI.hpp>
#include <string>

#include "cli/cli.h"
#include "config/connection_preference.h"
#include "config/host_catalogue.h"

namespace rk::cli {

namespace {

int RunHosts(const Context& context) {
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (catalogue.empty()) return NoHosts(context);
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    WriteLine(context, context.out, std::to_string(i) + "\t" + catalogue.labels[i]);
  return kExitOk;
}

int RunPreference(const Context& context) {
  WriteLine(context, context.out, PreferenceLabelText(context.profile, context.paths));
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
