#include "dialogs/proxy_setting_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/texts.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Values = std::vector<std::string>;  // the nine values in key order, as text

const Values kClient = {"1", "hh", "31", "hu", "hp", "sh", "10", "su", "sp"};
const Values kTool = {"4", "198.51.100.1", "8", "tu", "tp", "198.51.100.2", "9", "tsu", "tsp"};
const Values kDefaults = {"0", "", "", "", "", "", "", "", ""};

std::string Dc(const Values& values, std::string lines = "[DC]\r\n") {
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i)
    lines += std::string(kProxyKeys[i]) + "=" + values[i] + "\r\n";
  return lines;
}
// The client's base configuration: other keys, a comment and a blank line a rewrite must keep.
std::string BaseBytes(const Values& values) {
  return "; client\r\n" + Dc(values, "[DC]\r\nClientToNMPortTry=8000\r\n") + "\r\n[Log]\r\nA=2\r\n";
}
std::string ToolBytes(const Values& values) { return "[Priority]\r\nCombo=N,1,2\r\n" + Dc(values); }

Values ValuesOf(const ProxySettings& settings) {
  Values values;
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i) values.push_back(settings.ValueText(i));
  return values;
}
// The whole file as our engine must leave it; Wine's writer re-serialises, so there its values.
void ExpectFile(const std::string& path, [[maybe_unused]] const std::string& bytes,
                [[maybe_unused]] const Values& values) {
#if defined(_WIN32)
  EXPECT_EQ(ValuesOf(LoadProxySettings(SystemProfileStore(), path)), values) << path;
#else
  EXPECT_EQ(testing::ReadBytes(path), bytes) << path;
#endif
}

// A client tree; its Sys folder always exists (the profile functions create files, not folders).
struct Client {
  Client(const std::string& baseBytes, const std::string& toolBytes) {
    std::filesystem::create_directories(dir.path() / "Sys");
    if (!baseBytes.empty()) dir.Write("Bin/BaseConfig.ini", baseBytes);
    if (!toolBytes.empty()) dir.Write("Sys/Reachkit.ini", toolBytes);
  }
  ProxySettingForm Open() {
    ProxySettingForm form(SystemProfileStore(), paths);
    form.Open();
    return form;
  }
  testing::TempDir dir;
  ClientPaths paths{dir.path().string()};
  std::string tool = paths.ToolSettingsPath(), base = paths.BaseConfigPath();
};

TEST(ProxySettingOpen, TheToolFileIsTheMasterCopyOnlyWhenItHoldsAProxyKey) {
  const std::string noKeys = "[Priority]\r\nCombo=N,1,2\r\n", emptyKey = "[DC]\r\nUserName=\r\n";
  // The files before and after (empty: no file) and the values the dialog shows.
  const struct { const char* why; std::string base, tool; Values shown; std::string base2, tool2; }
  rows[] = {
      {"no tool file", BaseBytes(kClient), "", kClient, BaseBytes(kClient), Dc(kClient)},
      {"both", BaseBytes(kClient), ToolBytes(kTool), kTool, BaseBytes(kTool), ToolBytes(kTool)},
      {"tool file without proxy keys: the client's are never wiped", BaseBytes(kClient), noKeys,
       kClient, BaseBytes(kClient), ToolBytes(kClient)},
      {"one empty key", BaseBytes(kClient), emptyKey, kDefaults, BaseBytes(kDefaults), emptyKey},
      {"neither file", "", "", kDefaults, "", Dc(kDefaults)},
  };
  for (const auto& row : rows) {
    Client c(row.base, row.tool);
    EXPECT_EQ(ValuesOf(c.Open().Settings()), row.shown) << row.why;
    ExpectFile(c.tool, row.tool2, row.shown);
    EXPECT_EQ(std::filesystem::exists(c.base), !row.base2.empty()) << row.why;
    if (!row.base2.empty()) ExpectFile(c.base, row.base2, row.shown);
  }
}

ProxyControls Controls(bool rows, bool box, bool login, const char* host, const char* port,
                       const char* user, const char* pass) {
  return {rows, rows, rows, rows, box, login, login, login, login, login, host, port, user, pass};
}

TEST(ShowProxyType, EachTypeShowsItsFamilyAndTheStoredUserNameDecidesTheLogin) {
  const ProxySettings full{0, "hh", "31", "hu", "hp", "sh", "10", "su", "sp"};
  const ProxySettings passwordsOnly{0, "hh", "31", "", "hp", "sh", "10", "", "sp"};
  const ProxyControls none = Controls(false, false, false, "", "", "", ""),
                      socks4 = Controls(true, false, false, "sh", "10", "", "");
  const struct { const ProxySettings& settings; int32_t type; ProxyControls expected; } rows[] = {
      {full, 0, none}, {full, -1, none}, {full, 7, none}, {full, 2, socks4}, {full, 3, socks4},
      {full, 1, Controls(true, true, true, "hh", "31", "hu", "hp")},
      {full, 4, Controls(true, true, true, "sh", "10", "su", "sp")},
      {passwordsOnly, 1, Controls(true, true, false, "hh", "31", "", "")},
      {passwordsOnly, 4, Controls(true, true, false, "sh", "10", "", "")},
  };
  for (const auto& row : rows)
    EXPECT_EQ(ShowProxyType(row.settings, row.type), row.expected) << row.type;
}

// A refusal names the first missing or wrong field (login, host, port, its range) and writes
// nothing; an accepted entry takes the controls of its type and writes the nine keys to both files.
TEST(ProxySettingOk, RefusesTheFirstBadFieldOrWritesTheNineKeysToBothFiles) {
  const struct { ProxyInput input; const char* message; Values saved; } rows[] = {
      {{1, true, "", "", "", ""}, text::kEnterUserId, kClient},
      {{1, true, "", "", "u", ""}, text::kEnterUserPassword, kClient},
      {{1, true, "", "", "u", "p"}, text::kEnterProxyHost, kClient},
      {{1, true, "h", "", "u", "p"}, text::kEnterProxyPort, kClient},
      {{4, true, "h", "1", "u", ""}, text::kEnterUserPassword, kClient},
      {{4, false, "h", "", "", ""}, text::kEnterProxyPort, kClient},
      {{2, true, "", "", "", ""}, text::kEnterProxyHost, kClient},  // no login for SOCKS4/4a
      {{3, true, "h", "", "", ""}, text::kEnterProxyPort, kClient},
      {{1, false, "h", "65536", "", ""}, text::kPortOutOfRange, kClient},
      {{2, false, "h", "0", "", ""}, text::kPortOutOfRange, kClient},
      {{4, false, "h", " 80", "", ""}, text::kPortOutOfRange, kClient},
      {{-1, true, "h", "1", "u", "p"}, nullptr, {"0", "hh", "31", "hu", "hp", "sh", "10", "su", "sp"}},
      {{1, true, "h", "81", "nu", "np"}, nullptr, {"1", "h", "81", "nu", "np", "sh", "10", "su", "sp"}},
      {{1, false, "h", "81", "nu", "np"}, nullptr, {"1", "h", "81", "", "", "sh", "10", "su", "sp"}},
      {{2, true, "h", "81", "nu", "np"}, nullptr, {"2", "hh", "31", "hu", "hp", "h", "81", "su", "sp"}},
      {{4, true, "h", "81", "nu", "np"}, nullptr, {"4", "hh", "31", "hu", "hp", "h", "81", "nu", "np"}},
      {{4, false, "h", "81", "nu", "np"}, nullptr, {"4", "hh", "31", "hu", "hp", "h", "81", "", ""}},
  };
  for (const auto& row : rows) {
    Client c(BaseBytes(kClient), ToolBytes(kClient));
    EXPECT_STREQ(c.Open().OnOK(row.input), row.message) << row.input.selection;
    ExpectFile(c.tool, ToolBytes(row.saved), row.saved);
    ExpectFile(c.base, BaseBytes(row.saved), row.saved);
  }
  // Refusals leave the form's values as they were: a type change refills the controls from them.
  Client c(BaseBytes(kClient), ToolBytes(kClient));
  ProxySettingForm form = c.Open();
  for (const auto& row : rows)
    if (row.message != nullptr) (void)form.OnOK(row.input);
  EXPECT_EQ(form.OnSelChange(kProxySocks4).hostText, "sh");
  EXPECT_EQ(form.OnSelChange(kProxyHttp11), Controls(true, true, true, "hh", "31", "hu", "hp"));
}

}  // namespace
}  // namespace rk
