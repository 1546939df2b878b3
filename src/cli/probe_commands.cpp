#include <CLI/CLI.hpp>
#include <memory>
#include <mutex>
#include <string>

#include "base/texts.h"
#include "cli/cli.h"
#include "cli/results.h"
#include "config/host_catalogue.h"
#include "probes/icmp_echo.h"
#include "runs/probe_run.h"

namespace rk::cli {

namespace {

// Builds the run's result; in text mode each line also goes out as it comes,
// from the worker thread, one whole line at a time.
class ResultCollector final : public ResultSink {
 public:
  ResultCollector(const Context& context, TestResult& result) : context_(context), result_(result) {}
  void AppendLine(std::string line) override {
    std::lock_guard lock(mutex_);
    if (!context_.json) WriteLine(context_, context_.out, line);
    result_.lines.push_back(std::move(line));
  }
  void AppendStep(const TestStep& step) override {
    std::lock_guard lock(mutex_);
    result_.steps.push_back(step);
  }
  void Clear() override {}

 private:
  const Context& context_;
  TestResult& result_;
  std::mutex mutex_;
};

class NoButtons final : public TestButtons {
 public:
  void SetTestButtonsEnabled(bool) override {}
};

bool ParseIndex(const std::string& text, int& index) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  index = std::stoi(text);
  return true;
}

// The window's test command on entry `indexText` of the list: the same lines,
// and an exit code that says whether the target answered.
int RunTest(const Context& context, TestKind kind, const std::string& indexText,
            bool viaProxy = false) {
  int index = -1;
  if (!ParseIndex(indexText, index)) return UsageError(context, "INDEX must be a number: " + indexText);
  if (const int unreadable = UnreadableHostFiles(context)) return unreadable;
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (!catalogue.empty() && static_cast<std::size_t>(index) >= catalogue.size())
    return UsageError(context, "INDEX " + indexText + " is not in the host list (0.." +
                                   std::to_string(catalogue.size() - 1) + ")");
  if (viaProxy) {
    if (catalogue.empty()) return NoHosts(context);
    return RunTelnetViaProxy(context, catalogue, static_cast<std::size_t>(index));
  }
  // An empty list selects nothing, as in the window: resolution says so below.
  const int selection = catalogue.empty() ? -1 : index;

  IcmpEchoService echo;
  // The TCP test needs no ICMP; support staff can still use it where ICMP is barred.
  if (kind != TestKind::Telnet && !echo.Initialize()) {
    WriteLine(context, context.err, text::kIcmpFunctionsMissing);
    const std::string hint = IcmpPermissionHint();
    if (!hint.empty()) WriteLine(context, context.err, hint);
    return kExitFailed;
  }

  TestResult result;
  result.kind = kind;
  result.index = static_cast<std::size_t>(index);
  if (!catalogue.empty()) result.label = catalogue.labels[result.index];
  int code = kExitFailed;
  {
    ResultCollector sink(context, result);
    NoButtons buttons;
    TestRunController controller(sink, buttons, echo, SystemNameResolver());
    if (controller.StartTest(kind, catalogue, selection)) {
      while (!controller.WorkerFinishedFor(kStopPollMs)) {
        // Interrupted: as when the window closes, Ping ends its pass with its
        // end line and every wait ends; the run fails whatever it found.
        if (context.interrupted.load()) controller.CloseStep();
      }
      result.target = controller.target();
      result.answered = controller.TargetAnswered();
      result.interrupted = context.interrupted.load();
      code = result.interrupted ? kExitInterrupted : result.answered ? kExitOk : kExitFailed;
    } else {
      result.target.hostText = catalogue.empty() ? "" : catalogue.hostTexts[result.index];
    }
  }
  Render(context, result);
  if (catalogue.empty()) return NoHosts(context);
  return code;
}

CLI::App* AddTest(Commands& commands, const char* name, const char* description,
                  const char* exitCodes, TestKind kind, std::shared_ptr<bool> viaProxy = {}) {
  auto index = std::make_shared<std::string>();
  CLI::App* command =
      commands.Add(name, description, exitCodes, [kind, index, viaProxy](const Context& c) {
        return RunTest(c, kind, *index, viaProxy && *viaProxy);
      });
  command->add_option("INDEX", *index, "the host's index in the host list (see hosts)")->required();
  return command;
}

}  // namespace

void AddTestCommands(Commands& commands) {
  AddTest(commands, "ping", "Ping host INDEX of the list: five echoes",
          "0 an echo answered, 1 none did or the test could not run, 3 no hosts", TestKind::Ping);
  AddTest(commands, "trace", "TraceRT to host INDEX",
          "0 the target was reached, 1 it was not or the test could not run, 3 no hosts",
          TestKind::TraceRoute);
  auto viaProxy = std::make_shared<bool>(false);
  CLI::App* telnet =
      AddTest(commands, "telnet", "TCP connection test on the ports of host INDEX",
              "0 a port connected, 1 none did or the test could not run, 3 no hosts "
              "(--via-proxy: or no proxy stored)",
              TestKind::Telnet, viaProxy);
  telnet->add_flag("--via-proxy", *viaProxy,
                   "connect through the proxy stored in Bin\\BaseConfig.ini, section DC; "
                   "each port's line is followed by the proxy's verdict and reason");
}

}  // namespace rk::cli
