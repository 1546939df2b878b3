// reachkit-cli: the window's catalogue and tests, headless, for support staff
// and scripts. Every line it prints is a line the window would show.
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/texts.h"
#include "cli/cli.h"
#include "config/connection_preference.h"
#include "config/host_catalogue.h"
#include "diagnostics/icmp_echo.h"
#include "diagnostics/test_run.h"

namespace rk::cli {

void WriteLine(const Context& context, std::ostream& stream, const std::string& cp950) {
  stream << (context.raw ? cp950 : ToConsoleText(cp950)) << '\n';
  stream.flush();
}

std::string ArgumentToCp950(const Context& context, const std::string& argument) {
  return context.raw ? argument : FromConsoleText(argument);
}

namespace {

constexpr char kUsage[] =
    "usage: reachkit-cli [--root DIR] [--raw] COMMAND\n"
    "\n"
    "Reads the trading client's configuration below DIR (default: the folder above\n"
    "the one holding this program) and prints what the Reachkit window would show.\n"
    "\n"
    "commands:\n"
    "  hosts                      the host list: INDEX<TAB>LABEL per line\n"
    "  preference                 the connection-preference line\n"
    "  ping INDEX                 Ping host INDEX of the list\n"
    "  trace INDEX                TraceRT to host INDEX\n"
    "  telnet INDEX               TCP connection test on the ports of host INDEX\n"
    "  set-preference LOCATION NMPORT PSPORT\n"
    "                             store the preferred connection location and ports\n"
    "  proxy [--show-passwords]   the proxy keys of both configuration files\n"
    "\n"
    "options:\n"
    "  --root DIR   the client's root folder\n"
    "  --raw        read and write texts as code page 950 bytes (no UTF-8 conversion)\n"
    "  --help       this text\n"
    "\n"
    "exit: 0 done (a test that ran, whatever it found), 1 refused or failed, 2 usage\n";

int UsageError(const std::string& message) {
  std::cerr << "reachkit-cli: " << message << " (see --help)\n";
  return kExitUsage;
}

// Lines go out as they come, from the worker thread, one whole line at a time.
class ConsoleSink final : public ResultSink {
 public:
  explicit ConsoleSink(const Context& context) : context_(context) {}
  void AppendLine(std::string line) override {
    std::lock_guard lock(mutex_);
    WriteLine(context_, context_.out, line);
  }
  void Clear() override {}

 private:
  const Context& context_;
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

int RunHosts(const Context& context) {
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    WriteLine(context, context.out, std::to_string(i) + "\t" + catalogue.labels[i]);
  return kExitOk;
}

int RunPreference(const Context& context) {
  WriteLine(context, context.out, PreferenceLabelText(context.profile, context.paths));
  return kExitOk;
}

int RunTest(const Context& context, TestKind kind, const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("expected one INDEX");
  int index = -1;
  if (!ParseIndex(args[0], index)) return UsageError("INDEX must be a number: " + args[0]);
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  if (!catalogue.empty() && static_cast<std::size_t>(index) >= catalogue.size())
    return UsageError("INDEX " + args[0] + " is not in the host list (0.." +
                      std::to_string(catalogue.size() - 1) + ")");
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

  ConsoleSink sink(context);
  NoButtons buttons;
  TestRunController controller(sink, buttons, echo, SystemNameResolver());
  if (!controller.StartTest(kind, catalogue, selection)) return kExitFailed;
  while (!controller.WorkerFinishedFor(1000)) {
  }
  return kExitOk;
}

}  // namespace

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::optional<std::string> root;
  bool raw = false;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
    if (args[i] == "--raw") {
      raw = true;
    } else if (args[i] == "--root") {
      if (i + 1 >= args.size()) return UsageError("--root needs a folder");
      root = args[++i];
    } else if (args[i].rfind("--", 0) == 0 && args[i] != "--show-passwords") {
      return UsageError("unknown option " + args[i]);
    } else {
      break;
    }
  }
  if (i >= args.size()) return UsageError("no command");
  const std::string command = args[i];
  std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());

  std::string rootText = root ? *root : ClientRootDirectory();
  // A root given with a trailing separator would double it in every path.
  while (rootText.size() > 1 && rootText.back() == kPathSeparator) rootText.pop_back();
  std::error_code ec;
  if (root && !std::filesystem::is_directory(rootText, ec)) {
    std::cerr << "reachkit-cli: the root folder does not exist: " << rootText << "\n";
    return kExitFailed;
  }

  const Context context{ClientPaths(rootText), SystemProfileStore(), raw, std::cout, std::cerr};
  if (command == "hosts") return rest.empty() ? RunHosts(context) : UsageError("hosts takes no argument");
  if (command == "preference")
    return rest.empty() ? RunPreference(context) : UsageError("preference takes no argument");
  if (command == "ping") return RunTest(context, TestKind::Ping, rest);
  if (command == "trace") return RunTest(context, TestKind::TraceRoute, rest);
  if (command == "telnet") return RunTest(context, TestKind::Telnet, rest);
  if (command == "set-preference") return RunSetPreference(context, rest);
  if (command == "proxy") return RunProxy(context, rest);
  return UsageError("unknown command " + command);
}

}  // namespace rk::cli

int main(int argc, char** argv) { return rk::cli::Main(argc, argv); }
