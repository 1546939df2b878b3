// reachkit-cli: the window's catalogue and tests, headless, for support staff
// and scripts. Every line it prints is a line the window would show.
#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>

#include "base/codepage.h"
#include "cli/cli.h"
#include "cli/platform.h"

namespace rk::cli {

std::string ListLineText(const Context& context, std::string_view cp950) {
  return context.raw ? std::string(cp950) : context.utf8 ? Cp950ToUtf8(cp950) : ToConsoleText(cp950);
}

void WriteListLine(const Context& context, std::ostream& stream, const std::string& cp950) {
  stream << ListLineText(context, cp950) << '\n';
}

void WriteLine(const Context& context, std::ostream& stream, const std::string& cp950) {
  WriteListLine(context, stream, cp950);
  stream.flush();
}

std::string ArgumentToCp950(const Context& context, const std::string& argument) {
  return context.raw ? argument : FromConsoleText(argument);
}

CLI::App* Commands::Add(const std::string& name, const std::string& description,
                        const std::string& exitCodes, CommandAction action) {
  CLI::App* command = app_.add_subcommand(name, description);
  command->footer("exit: " + exitCodes + "; 2 usage\n(--root, --raw, --json: see reachkit-cli --help)");
  commands_.emplace_back(command, std::move(action));
  return command;
}

const CommandAction* Commands::Chosen() const {
  for (const auto& [command, action] : commands_)
    if (command->parsed()) return &action;
  return nullptr;
}

namespace {

constexpr char kDescription[] =
    "Reads the trading client's configuration below the root folder (default: the folder\n"
    "above the one holding this program) and prints what the Reachkit window would show.";

constexpr char kExitCodes[] =
    "exit status, the same for every command:\n"
    "  0    success: ping an echo answered, trace the target reached, telnet a port\n"
    "       connected, check every endpoint open, the other commands done\n"
    "  1    the target was not reachable, or the command failed\n"
    "  2    usage: the command line is wrong\n"
    "  3    no hosts: the client's configuration is missing or lists none\n"
    "  130  interrupted (Ctrl+C; SIGINT or SIGTERM)";

// One line whatever the parser's message looks like.
int UsageLine(std::ostream& err, std::string message) {
  for (char& c : message)
    if (c == '\n' || c == '\r') c = ' ';
  err << "reachkit-cli: " << message << " (see --help)\n" << std::flush;
  return kExitUsage;
}

}  // namespace

int UsageError(const Context& context, const std::string& message) {
  return UsageLine(context.err, message);
}

int Main(int argc, char** argv) {
  CLI::App app{kDescription, "reachkit-cli"};
  app.footer(kExitCodes);
  app.require_subcommand(1);
  // Global options may also follow the command: `reachkit-cli hosts --raw`.
  app.fallthrough();
  std::optional<std::string> root;
  bool raw = false;
  bool json = false;
  app.add_option("--root", root, "the client's root folder")->option_text("DIR");
  app.add_flag("--raw", raw, "read and write texts as code page 950 bytes (no UTF-8 conversion)");
  app.add_flag("--json", json, "one JSON document (UTF-8) on stdout instead of lines");

  Commands commands(app);
  AddHostCommands(commands);
  AddTestCommands(commands);
  AddSettingsCommands(commands);
  AddReportCommand(commands);
  AddCheckCommand(commands);
  AddWatchCommands(commands);
  AddRankCommand(commands);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help() << std::flush;
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << app.help("", CLI::AppFormatMode::All) << std::flush;
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    return UsageLine(std::cerr, error.what());
  }
  const CommandAction* action = commands.Chosen();
  if (action == nullptr) return UsageLine(std::cerr, "no command");

  // A root given with a trailing separator would double it in every path.
  const std::string rootText(
      WithoutTrailingSeparators(root ? *root : ClientRootDirectory(), kPathSeparator, SystemLeadByte));
  if (root && !IsDirectory(rootText)) {
    std::cerr << "reachkit-cli: the root folder does not exist: " << rootText << "\n";
    return kExitFailed;
  }

  const Context context{ClientPaths(rootText), SystemProfileStore(), raw,  json, false,
                        std::cout,             std::cerr,            InstallInterruptHandler()};
  const int code = (*action)(context);
  // Output that never arrived (a full disk, a closed pipe) is a failure,
  // whatever the command found.
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "reachkit-cli: cannot write to standard output\n" << std::flush;
    return code == kExitInterrupted ? code : kExitFailed;
  }
  return code;
}

}  // namespace rk::cli

int main(int argc, char** argv) { return rk::cli::Main(argc, argv); }
