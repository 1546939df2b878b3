#include <CLI/CLI.hpp>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "cli/platform.h"
#include "cli/results.h"

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

ReportResult CollectReport(const Context& context) {
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
  return report;
}

// The report, on stdout or into `outPath` (created or replaced), as UTF-8
// text or JSON. Only reads the configuration.
int RunReport(const Context& context, const std::string& outPath) {
  const ReportResult report = CollectReport(context);
  if (outPath.empty()) {
    Render(Context{context.paths, context.profile, false, context.json, true, context.out,
                   context.err, context.interrupted},
           report);
    return kExitOk;
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
  return kExitOk;
}

}  // namespace

void AddReportCommand(Commands& commands) {
  auto outPath = std::make_shared<std::string>();
  CLI::App* report = commands.Add(
      "report",
      "one support report: time, version, machine, configuration files, hosts, preference, "
      "proxy (passwords masked)",
      "0 written, 1 the file could not be written",
      [outPath](const Context& c) { return RunReport(c, *outPath); });
  report->add_option("--out", *outPath, "write the report into FILE instead of stdout")
      ->option_text("FILE");
}

}  // namespace rk::cli
