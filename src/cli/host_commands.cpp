#include <CLI/CLI.hpp>
#include <initializer_list>
#include <string>

#include "cli/cli.h"
#include "cli/results.h"
#include "probes/machine_facts.h"

namespace rk::cli {

namespace {

int FirstUnreadable(const Context& context, std::initializer_list<std::string> paths) {
  for (const std::string& path : paths) {
    const FileFacts facts = ReadFileFacts(path);
    if (facts.exists && !facts.unreadable.empty()) {
      context.err << "reachkit-cli: " << path << " is unreadable: " << facts.unreadable << '\n'
                  << std::flush;
      return kExitFailed;
    }
  }
  return kExitOk;
}

int RunHosts(const Context& context) {
  if (const int unreadable = UnreadableHostFiles(context)) return unreadable;
  if (!context.json) {
    // The lines straight from the catalogue: a large one is not copied into rows first.
    const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
    WriteHostLines(context, catalogue.size(),
                   [&](std::size_t i) -> const std::string& { return catalogue.labels[i]; });
    return catalogue.empty() ? NoHosts(context) : kExitOk;
  }
  const HostsResult result = CollectHosts(context.profile, context.paths);
  Render(context, result);
  return result.hosts.empty() ? NoHosts(context) : kExitOk;
}

int RunPreference(const Context& context) {
  Render(context, CollectPreference(context.profile, context.paths));
  return kExitOk;
}

}  // namespace

int UnreadableHostFiles(const Context& context) {
  return FirstUnreadable(context, {context.paths.QuoteSettingsPath(),
                                   context.paths.SysFilePath("O_Tradedesk.ini"),
                                   context.paths.PlatformHostFilePath(context.profile),
                                   context.paths.BaseConfigPath()});
}

int UnreadableProxyFiles(const Context& context) {
  return FirstUnreadable(context, {context.paths.ToolSettingsPath(), context.paths.BaseConfigPath()});
}

int NoHosts(const Context& context) {
  context.err << "reachkit-cli: no hosts: the client's configuration below " << context.paths.root()
              << " is missing or lists none\n"
              << std::flush;
  return kExitNoHosts;
}

void AddHostCommands(Commands& commands) {
  commands.Add("hosts", "the host list: INDEX<TAB>LABEL per line, in the window's order",
               "0 listed, 1 a file is there but cannot be read, 3 no hosts", RunHosts);
  commands.Add("preference", "the connection-preference line", "0 done", RunPreference);
}

}  // namespace rk::cli
