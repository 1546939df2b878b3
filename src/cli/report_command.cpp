#include <CLI/CLI.hpp>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "base/format.h"
#include "cli/check_report.h"
#include "cli/cli.h"
#include "cli/proxy_check.h"
#include "cli/platform.h"
#include "cli/results.h"
#include "config/host_catalogue.h"
#include "runs/html_report.h"

namespace rk::cli {

namespace {

// The report of the client's configuration, with a check of every endpoint
// (through the stored proxy too, when one of type 1..4 is stored); none
// without hosts. Nothing is printed while the check runs but a note on
// stderr when a wait lasts (the text comes in one piece, possibly into a file).
ReportResult CollectReport(const Context& context, const CheckRunOptions& checkOptions) {
  ReportResult report = rk::CollectReport(context.profile, context.paths, REACHKIT_VERSION);
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (catalogue.empty()) {
    report.noCheck = "no hosts to check";
    return report;
  }
  report.check = RunCheck(context, catalogue, checkOptions, StoredProxy(context),
                          context.json ? nullptr : "... checking: %zu / %zu done");
  return report;
}

// The report, on stdout or into `outPath` (created or replaced), as UTF-8
// text or JSON; into `htmlPath` as one HTML page as well when given. Only
// reads the configuration. Interrupted during the check, the report is still
// written, with what the check had found.
int RunReport(const Context& context, const std::string& outPath, const std::string& htmlPath,
              const CheckRunOptions& checkOptions) {
  const ReportResult report = CollectReport(context, checkOptions);
  const int done = context.interrupted.load() ? kExitInterrupted : kExitOk;
  if (!htmlPath.empty()) {
    std::ofstream html(htmlPath, std::ios::binary | std::ios::trunc);
    if (html) WriteCheckHtml(report, html);
    html.close();
    if (!html) {
      context.err << "reachkit-cli: cannot write the HTML report to " << htmlPath << '\n'
                  << std::flush;
      return kExitFailed;
    }
    if (outPath.empty()) return done;
  }
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
  auto htmlPath = std::make_shared<std::string>();
  auto checkOptions = std::make_shared<CheckRunOptions>();
  CLI::App* report = commands.Add(
      "report",
      "one support report: time, version, machine, configuration files, hosts, preference, "
      "proxy (passwords masked), and a check of every endpoint with the cause of each one "
      "not open (as `check` gives it)",
      "0 written (whatever the check found), 1 the file could not be written",
      [outPath, htmlPath, checkOptions](const Context& c) {
        return RunReport(c, *outPath, *htmlPath, *checkOptions);
      });
  report->add_option("--out", *outPath, "write the report into FILE instead of stdout")
      ->option_text("FILE");
  report
      ->add_option("--html", *htmlPath,
                   "write the report as one HTML page into FILE (UTF-8, no script, no outside "
                   "address); nothing on stdout unless --out is given too")
      ->option_text("FILE");
  AddCheckOptions(*report, *checkOptions);
}

}  // namespace rk::cli
