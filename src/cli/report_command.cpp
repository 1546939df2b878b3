#include <CLI/CLI.hpp>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "base/format.h"
#include "cli/check_report.h"
#include "cli/cli.h"
#include "cli/platform.h"
#include "cli/results.h"
#include "config/host_catalogue.h"

namespace rk::cli {

namespace {

// Local time minus UTC now, in minutes: the UTC clock fields read back as
// local time give the offset's opposite.
int LocalOffsetMinutes(std::time_t now) {
  std::tm utc{};
  if (const std::tm* fields = std::gmtime(&now)) utc = *fields;
  utc.tm_isdst = -1;
  const std::time_t utcAsLocal = std::mktime(&utc);
  if (utcAsLocal == static_cast<std::time_t>(-1)) return 0;
  return static_cast<int>(std::difftime(now, utcAsLocal) / 60);
}

// The report's check: every endpoint of the host list with its diagnosis,
// none without hosts. Nothing is printed while it runs but a note on stderr
// when a wait lasts (the text comes in one piece, possibly into a file).
std::optional<CheckRun> CheckEveryEndpoint(const Context& context, const CheckRunOptions& options) {
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (catalogue.empty()) return std::nullopt;
  WaitingCallback onWaiting;
  if (!context.json)
    onWaiting = [&context](std::size_t waiting) {
      WriteLine(context, context.err, Format("... checking: waiting for %zu endpoint(s)", waiting));
    };
  return RunCheck(catalogue, options, context.interrupted, {}, onWaiting);
}

ReportResult CollectReport(const Context& context, const CheckRunOptions& checkOptions) {
  const std::time_t now = std::time(nullptr);
  ReportResult report;
  report.generatedUnix = static_cast<int64_t>(now);
  report.localOffsetMinutes = LocalOffsetMinutes(now);
  report.version = REACHKIT_VERSION;
  report.hostName = MachineHostName();
  report.ipv4Addresses = MachineIPv4Addresses();
  report.clientRoot = context.paths.root();
  const ClientPaths& paths = context.paths;
  for (const auto& [name, path] :
       {std::pair{"quote_settings", paths.QuoteSettingsPath()},
        std::pair{"platform_settings", paths.SysFilePath("O_Tradedesk.ini")},
        std::pair{"host_file", paths.PlatformHostFilePath(context.profile)},
        std::pair{"base_configuration", paths.BaseConfigPath()},
        std::pair{"tool_settings", paths.ToolSettingsPath()}})
    report.files.push_back({name, path, ReadFileFacts(path)});
  report.hosts = CollectHosts(context);
  report.preference = CollectPreference(context);
  report.proxy = CollectProxy(context, false);
  report.check = CheckEveryEndpoint(context, checkOptions);
  return report;
}

// The report, on stdout or into `outPath` (created or replaced), as UTF-8
// text or JSON. Only reads the configuration. Interrupted during the check,
// the report is still written, with what the check had found.
int RunReport(const Context& context, const std::string& outPath,
              const CheckRunOptions& checkOptions) {
  const ReportResult report = CollectReport(context, checkOptions);
  const int done = context.interrupted.load() ? kExitInterrupted : kExitOk;
  if (outPath.empty()) {
    Render(Context{context.paths, context.profile, false, context.json, true, context.out,
                   context.err, context.interrupted},
           report);
    return done;
  }
  std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
  if (!file) {
    context.err << "reachkit-cli: cannot write the report to " << outPath << '\n' << std::flush;
    return kExitFailed;
  }
  Render(Context{context.paths, context.profile, false, context.json, true, file, context.err,
                 context.interrupted},
         report);
  file.close();
  if (!file) {
    context.err << "reachkit-cli: cannot write the report to " << outPath << '\n' << std::flush;
    return kExitFailed;
  }
  return done;
}

}  // namespace

void AddReportCommand(Commands& commands) {
  auto outPath = std::make_shared<std::string>();
  auto checkOptions = std::make_shared<CheckRunOptions>();
  CLI::App* report = commands.Add(
      "report",
      "one support report: time, version, machine, configuration files, hosts, preference, "
      "proxy (passwords masked), and a check of every endpoint with the cause of each one "
      "not open (as `check` gives it)",
      "0 written (whatever the check found), 1 the file could not be written",
      [outPath, checkOptions](const Context& c) { return RunReport(c, *outPath, *checkOptions); });
  report->add_option("--out", *outPath, "write the report into FILE instead of stdout")
      ->option_text("FILE");
  AddCheckOptions(*report, *checkOptions);
}

}  // namespace rk::cli
