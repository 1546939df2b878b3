#include <CLI/CLI.hpp>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "cli/cli.h"
#include "cli/results.h"
#include "config/connection_preference.h"
#include "dialogs/connect_setting_form.h"

namespace rk::cli {

namespace {

// The connect-setting dialog fed from the command line: the location must be
// one of the listed names exactly (no prefix or case match, unlike the
// combo box's initial choice), then the dialog's own checks decide. Refusal
// messages go to stderr and leave every file untouched.
int RunSetPreference(const Context& context, const std::string& locationArgument,
                     const std::string& nmPort, const std::string& psPort) {
  // A name with no exact code page 950 form can match no stored name: a
  // substitute '?' would match a stored '?' instead.
  const std::optional<std::string> exact =
      context.raw ? std::optional<std::string>(locationArgument)
                  : FromConsoleTextExact(locationArgument);
  if (!exact) {
    context.err << "reachkit-cli: the location has no code page 950 form: " << locationArgument
                << '\n' << std::flush;
    return kExitFailed;
  }
  const std::string& location = *exact;
  const char* refusal = nullptr;
  std::optional<SaveError> failed;
  const bool confirmed =
      OnConnectSetting(context.profile, context.paths, [&](ConnectSettingForm& form) {
        int selection = -1;
        const std::vector<std::string>& locations = form.Locations();
        for (std::size_t i = 0; i < locations.size(); ++i) {
          if (locations[i] == location) {
            selection = static_cast<int>(i);
            break;
          }
        }
        refusal = form.OnOK(selection, nmPort, psPort);
        return refusal == nullptr;
      }, &failed);
  SetPreferenceResult result;
  result.stored = confirmed && !failed;
  result.saveError = failed;
  if (result.stored)
    result.line = PreferenceLabelText(context.profile, context.paths);
  else if (!confirmed)
    result.refusal = refusal != nullptr ? refusal : "";
  Render(context, result);
  if (failed) {
    // Never reported as done: the file and the reason, in the terminal's text.
    context.err << "reachkit-cli: cannot save " << failed->path << ": " << failed->reason << '\n'
                << std::flush;
  }
  return result.stored ? kExitOk : kExitFailed;
}

// Both copies of the nine proxy keys as the proxy-setting dialog would load
// them, without the copy that opening the dialog makes: this only reads.
int RunProxy(const Context& context, bool showPasswords) {
  if (context.json && showPasswords)
    return UsageError(context, "--show-passwords is for text: passwords never appear in JSON");
  if (const int unreadable = UnreadableProxyFiles(context)) return unreadable;
  Render(context, CollectProxy(context.profile, context.paths, showPasswords));
  return kExitOk;
}

}  // namespace

void AddSettingsCommands(Commands& commands) {
  struct Preference {
    std::string location, nmPort, psPort;
  };
  auto preference = std::make_shared<Preference>();
  CLI::App* set = commands.Add(
      "set-preference", "store the preferred connection location and ports, as the dialog does",
      "0 stored, 1 refused (the dialog's message on stderr) or not saved (file and reason)", [preference](const Context& c) {
        return RunSetPreference(c, preference->location, preference->nmPort, preference->psPort);
      });
  set->add_option("LOCATION", preference->location, "one of the listed location names, exactly")
      ->required();
  set->add_option("NMPORT", preference->nmPort, "NM port")->required();
  set->add_option("PSPORT", preference->psPort, "PS port")->required();

  auto showPasswords = std::make_shared<bool>(false);
  CLI::App* proxy = commands.Add("proxy", "the proxy keys of both configuration files",
                                 "0 done, 1 a file is there but cannot be read",
                                 [showPasswords](const Context& c) { return RunProxy(c, *showPasswords); });
  proxy->add_flag("--show-passwords", *showPasswords, "print the stored passwords as they are");
}

}  // namespace rk::cli
