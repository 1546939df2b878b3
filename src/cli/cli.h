#pragma once
#include <functional>
#include <ostream>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

#include "config/client_paths.h"
#include "config/profile_store.h"
#include "probes/stop_flag.h"

namespace CLI {
class App;
}

namespace rk {
struct HostCatalogue;
struct ProxyRoute;
}  // namespace rk

namespace rk::cli {

// What every command of reachkit-cli gets once the command line is parsed.
struct Context {
  ClientPaths paths;
  ProfileStore& profile;
  bool raw = false;   // write code page 950 bytes as they are (else UTF-8 on POSIX)
  bool json = false;  // one JSON document on stdout instead of lines
  bool utf8 = false;  // text lines in UTF-8 whatever the console speaks (the report)
  std::ostream& out;
  std::ostream& err;
  const StopFlag& interrupted;  // set by Ctrl+C (SIGINT, SIGTERM, console close)
};

// Exit codes, one meaning for every command.
inline constexpr int kExitOk = 0;           // success (see each command's --help)
inline constexpr int kExitFailed = 1;       // not reachable, or the command failed
inline constexpr int kExitUsage = 2;        // the command line is wrong
inline constexpr int kExitNoHosts = 3;      // the configuration is missing or lists no host
inline constexpr int kExitNoProxy = 3;      // --via-proxy, and no proxy type 1..4 is stored
inline constexpr int kExitInterrupted = 130;  // Ctrl+C (POSIX convention: 128 + SIGINT)

// Runs the chosen command; returns the process's exit code.
using CommandAction = std::function<int(const Context&)>;

// reachkit-cli's commands. A command lives in its own file and joins through
// one registration function, called from main.cpp's list:
//
//   void AddCheckCommand(Commands& commands) {
//     auto timeoutMs = std::make_shared<int>(kConnectTimeoutMs);  // outlives the parse
//     CLI::App* check = commands.Add("check", "every endpoint at once",
//                                    "0 every endpoint open, 1 some not, 3 no hosts",
//                                    [timeoutMs](const Context& c) { return RunCheck(c, *timeoutMs); });
//     check->add_option("--timeout-ms", *timeoutMs, "connect time-out");
//   }
//
// Options are bound to state the action captures; the action runs after a
// successful parse, only for the chosen command.
class Commands {
 public:
  explicit Commands(CLI::App& app) : app_(app) {}
  // Adds sub-command `name`; `exitCodes` goes to its --help as "exit: ...".
  CLI::App* Add(const std::string& name, const std::string& description,
                const std::string& exitCodes, CommandAction action);
  // The action of the command the parse chose, or nullptr.
  [[nodiscard]] const CommandAction* Chosen() const;

 private:
  CLI::App& app_;
  std::vector<std::pair<CLI::App*, CommandAction>> commands_;
};

// Registration functions, one per command file.
void AddHostCommands(Commands& commands);      // hosts, preference
void AddTestCommands(Commands& commands);      // ping, trace, telnet
void AddSettingsCommands(Commands& commands);  // set-preference, proxy
void AddReportCommand(Commands& commands);     // report
void AddCheckCommand(Commands& commands);      // check
void AddWatchCommands(Commands& commands);     // watch, watch-summary
void AddRankCommand(Commands& commands);       // rank

// The connection test of entry `index` through the client's stored proxy:
// a header naming the proxy and the settings file, then per port the
// window's success or failure line and the proxy's verdict with its reason.
// No proxy stored: NoProxyStored.
int RunTelnetViaProxy(const Context& context, const HostCatalogue& catalogue,
                      std::size_t index);
// One line on stderr naming the file and the stored type, exit code 3.
int NoProxyStored(const Context& context, const ProxyRoute& route);

// The catalogue is empty: one line on stderr naming the root, exit code 3.
int NoHosts(const Context& context);

// The first of the client's files a command reads that exists but cannot be
// read (permissions, a folder in its place; the profile functions would read
// it as missing): one line on stderr naming it with the system's reason, and
// kExitFailed. kExitOk when each can be read or is missing.
// * Host files: the quote settings, the platform settings, the host file and
//   the base configuration (the host list and its ports).
// * Proxy files: the tool's settings and the base configuration.
[[nodiscard]] int UnreadableHostFiles(const Context& context);
[[nodiscard]] int UnreadableProxyFiles(const Context& context);

// A usage error found after parsing: one line on stderr, exit code 2.
int UsageError(const Context& context, const std::string& message);

// Writes one line of system text (code page 950) followed by '\n', converted
// for the terminal unless raw, and flushes.
void WriteLine(const Context& context, std::ostream& stream, const std::string& cp950);
// The same without the flush, for listings that are written at once: the
// caller flushes after the last line (one buffered stream, not a write per line).
void WriteListLine(const Context& context, std::ostream& stream, const std::string& cp950);
// A list line as WriteListLine writes it, without the line break.
std::string ListLineText(const Context& context, std::string_view cp950);

// Command-line arguments arrive in the terminal's encoding (UTF-8 on POSIX,
// the ANSI code page on Windows); this gives their code page 950 bytes.
[[nodiscard]] std::string ArgumentToCp950(const Context& context, const std::string& argument);

}  // namespace rk::cli
