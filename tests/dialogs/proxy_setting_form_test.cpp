#include "dialogs/proxy_setting_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/texts.h"
#include "dialogs/recording_profile_store.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::ReadBytes;
using testing::RecordingProfileStore;
using testing::TempDir;
using Write = RecordingProfileStore::Write;

// The nine values in key order, as text.
using Values = std::vector<std::string>;

const Values kClientValues = {"1",         "192.0.2.8", "3128", "hu", "hp",
                              "192.0.2.9", "1080",      "su",   "sp"};
const Values kToolValues = {"4",    "198.51.100.1", "8080", "tu", "tp", "198.51.100.2",
                            "1081", "tsu",          "tsp"};
const Values kDefaultValues = {"0", "", "", "", "", "", "", "", ""};

std::string DcLines(const Values& values) {
  std::string lines;
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i)
    lines += std::string(kProxyKeys[i]) + "=" + values[i] + "\r\n";
  return lines;
}

// The client's base configuration: the nine keys among others, with a
// comment and a blank line that a rewrite must keep.
std::string BaseConfigBytes(const Values& values) {
  return "; client settings\r\n[DC]\r\nClientToNMPortTry=8000,8001\r\n" + DcLines(values) +
         "\r\n[Log]\r\nLevel=2\r\n";
}

std::string ToolBytes(const Values& values) {
  return "[Priority]\r\nCombo=North,8000,8001\r\n[DC]\r\n" + DcLines(values);
}

Values ValuesOf(const ProxySettings& settings) {
  Values values;
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i) values.push_back(settings.ValueText(i));
  return values;
}

std::vector<Write> NineWrites(const Values& values, const std::string& path) {
  std::vector<Write> writes;
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i)
    writes.push_back({"DC", kProxyKeys[i], values[i], path});
  return writes;
}

class ProxySetting : public ::testing::Test {
 protected:
  // The client's tree always has both folders; the profile functions create
  // files, never folders.
  ProxySetting() : paths(dir.path().string()), profile(SystemProfileStore()) {
    std::filesystem::create_directories(dir.path() / "Sys");
    std::filesystem::create_directories(dir.path() / "Bin");
  }

  std::string Tool() const { return paths.ToolSettingsPath(); }
  std::string Base() const { return paths.BaseConfigPath(); }
  Values Stored(const std::string& path) {
    return ValuesOf(LoadProxySettings(SystemProfileStore(), path));
  }
  // The whole file as our engine must leave it; under Wine (whose writer
  // re-serialises files) the nine values read back instead.
  void ExpectFile(const std::string& path, const std::string& bytes, const Values& values) {
#if defined(_WIN32)
    (void)bytes;
    EXPECT_EQ(Stored(path), values) << path;
#else
    (void)values;
    EXPECT_EQ(ReadBytes(path), bytes) << path;
#endif
  }
  ProxySettingForm OpenForm() {
    ProxySettingForm form(profile, paths);
    form.Open();
    return form;
  }

  TempDir dir;
  ClientPaths paths;
  RecordingProfileStore profile;
};

TEST_F(ProxySetting, SaveWritesTheNineKeysInOrderAndLoadReadsThemBack) {
  ProxySettings settings;
  settings.m_nProxyType = 3;
  settings.m_strProxyServerName = "h";
  settings.m_strProxyPort = "any text";
  settings.m_strUserPassword = "\xB1\x4B\xBD\x58";  // a Big5 password, kept as bytes
  settings.m_strSocksUserName = "s u";
  SaveProxySettings(settings, profile, Tool());
  const Values values = {"3", "h", "any text", "", "\xB1\x4B\xBD\x58", "", "", "s u", ""};
  EXPECT_EQ(profile.writes, NineWrites(values, Tool()));
  ExpectFile(Tool(), "[DC]\r\n" + DcLines(values), values);
  EXPECT_EQ(LoadProxySettings(profile, Tool()), settings);
}

TEST_F(ProxySetting, MissingFileOrKeysLoadAsTypeNoneAndEmptyTexts) {
  EXPECT_EQ(LoadProxySettings(profile, Base()), ProxySettings{});
  dir.Write("Bin/BaseConfig.ini", "[DC]\r\nProxyPort=99\r\n");
  ProxySettings expected;
  expected.m_strProxyPort = "99";
  EXPECT_EQ(LoadProxySettings(profile, Base()), expected);
}

TEST_F(ProxySetting, ValuesAreCutTo259Bytes) {
  const std::string longHost(300, 'h');
  dir.Write("Bin/BaseConfig.ini", "[DC]\r\nProxyServerName=" + longHost + "\r\n");
  EXPECT_EQ(LoadProxySettings(profile, Base()).m_strProxyServerName, longHost.substr(0, 259));
}

TEST_F(ProxySetting, ProxyKeysAreRecognisedEvenWhenEmpty) {
  EXPECT_FALSE(HoldsProxyKeys(profile, Tool())) << "no file";
  const struct {
    const char* content;
    bool holds;
  } rows[] = {
      {"[Priority]\r\nCombo=North,1,2\r\n", false},
      {"[DC]\r\n", false},
      {"[Other]\r\nProxyType=1\r\n", false},
      {"[DC]\r\nProxyTypes=1\r\n", false},
      {"[DC]\r\nSOCKSUserPassword=\r\n", true},
      {"[dc]\r\nproxytype=0\r\n", true},
      {"[DC]\r\nUserName=u\r\n", true},
  };
  for (const auto& row : rows) {
    TempDir other;
    const std::string path = other.Write("Sys/Reachkit.ini", row.content);
    EXPECT_EQ(HoldsProxyKeys(profile, path), row.holds) << row.content;
  }
}

TEST_F(ProxySetting, FileExistsFindsFilesOnly) {
  EXPECT_FALSE(FileExists(Tool()));
  EXPECT_FALSE(FileExists(""));
  dir.Write("Sys/Reachkit.ini", "");
  EXPECT_TRUE(FileExists(Tool()));
}

TEST_F(ProxySetting, OpeningWithoutToolFileCopiesTheClientKeysIntoANewOne) {
  const std::string base = dir.Write("Bin/BaseConfig.ini", BaseConfigBytes(kClientValues));
  const ProxySettingForm form = OpenForm();
  EXPECT_EQ(ValuesOf(form.Settings()), kClientValues);
  EXPECT_EQ(profile.writes, NineWrites(kClientValues, Tool()));
  ExpectFile(Tool(), "[DC]\r\n" + DcLines(kClientValues), kClientValues);
  EXPECT_EQ(ReadBytes(base), BaseConfigBytes(kClientValues));
}

TEST_F(ProxySetting, OpeningWithBothFilesMakesTheToolFileTheMasterCopy) {
  dir.Write("Bin/BaseConfig.ini", BaseConfigBytes(kClientValues));
  const std::string tool = dir.Write("Sys/Reachkit.ini", ToolBytes(kToolValues));
  const ProxySettingForm form = OpenForm();
  EXPECT_EQ(ValuesOf(form.Settings()), kToolValues);
  EXPECT_EQ(profile.writes, NineWrites(kToolValues, Base()));
  ExpectFile(Base(), BaseConfigBytes(kToolValues), kToolValues);
  EXPECT_EQ(ReadBytes(tool), ToolBytes(kToolValues));
}

TEST_F(ProxySetting, OpeningWithAToolFileWithoutProxyKeysKeepsTheClientKeys) {
  const std::string base = dir.Write("Bin/BaseConfig.ini", BaseConfigBytes(kClientValues));
  dir.Write("Sys/Reachkit.ini", "[Priority]\r\nCombo=North,8000,8001\r\n");
  const ProxySettingForm form = OpenForm();
  EXPECT_EQ(ValuesOf(form.Settings()), kClientValues);
  EXPECT_EQ(ReadBytes(base), BaseConfigBytes(kClientValues)) << "the client's keys were wiped";
  ExpectFile(Tool(), ToolBytes(kClientValues), kClientValues);
}

TEST_F(ProxySetting, OpeningWithAToolFileHoldingOneEmptyProxyKeyTakesItAsMaster) {
  dir.Write("Bin/BaseConfig.ini", BaseConfigBytes(kClientValues));
  dir.Write("Sys/Reachkit.ini", "[DC]\r\nSOCKSUserName=\r\n");
  const ProxySettingForm form = OpenForm();
  EXPECT_EQ(ValuesOf(form.Settings()), kDefaultValues);
  ExpectFile(Base(), BaseConfigBytes(kDefaultValues), kDefaultValues);
}

TEST_F(ProxySetting, OpeningWithNeitherFileCreatesOnlyTheToolFile) {
  const ProxySettingForm form = OpenForm();
  EXPECT_EQ(form.Settings(), ProxySettings{});
  ExpectFile(Tool(), "[DC]\r\n" + DcLines(kDefaultValues), kDefaultValues);
  EXPECT_FALSE(std::filesystem::exists(Base()));
}

TEST_F(ProxySetting, StoredTypeOutsideRangeIsCopiedAsItIsThenShownAndSavedAsNone) {
  for (const char* stored : {"7", "-3", "5"}) {
    TempDir other;
    const ClientPaths otherPaths(other.path().string());
    Values values = kToolValues;
    values[0] = stored;
    other.Write("Bin/BaseConfig.ini", BaseConfigBytes(kClientValues));
    other.Write("Sys/Reachkit.ini", ToolBytes(values));
    RecordingProfileStore store(SystemProfileStore());
    ProxySettingForm form(store, otherPaths);
    form.Open();
    EXPECT_EQ(Stored(otherPaths.BaseConfigPath())[0], stored) << "copied unchanged";
    EXPECT_EQ(form.ProxyType(), kProxyNone) << stored;
    EXPECT_EQ(ShowProxyType(form.Settings(), form.ProxyType()), ProxyControls{}) << stored;

    EXPECT_EQ(form.OnOK(ProxyInput{kProxyNone, false, "x", "y", "z", "w"}), nullptr);
    Values saved = kToolValues;
    saved[0] = "0";
    EXPECT_EQ(Stored(otherPaths.ToolSettingsPath()), saved) << stored;
    EXPECT_EQ(Stored(otherPaths.BaseConfigPath()), saved) << stored;
  }
}

ProxySettings FullSettings() {
  ProxySettings s;
  s.m_strProxyServerName = "http-host";
  s.m_strProxyPort = "3128";
  s.m_strUserName = "hu";
  s.m_strUserPassword = "hp";
  s.m_strSocksProxyServerName = "socks-host";
  s.m_strSocksProxyPort = "1080";
  s.m_strSocksUserName = "su";
  s.m_strSocksUserPassword = "sp";
  return s;
}

ProxyControls Controls(bool hostPort, bool boxEnabled, bool boxChecked, const char* host,
                       const char* port, const char* user, const char* password) {
  ProxyControls c;
  c.hostLabelEnabled = c.hostEditEnabled = c.portLabelEnabled = c.portEditEnabled = hostPort;
  c.needLoginEnabled = boxEnabled;
  c.needLoginChecked = boxChecked;
  c.userLabelEnabled = c.userEditEnabled = c.passwordLabelEnabled = c.passwordEditEnabled =
      boxChecked;
  c.hostText = host;
  c.portText = port;
  c.userText = user;
  c.passwordText = password;
  return c;
}

TEST(ShowProxyType, EachTypeShowsItsFamilyAndOffersLoginOnlyForHttpAndSocks5) {
  const ProxySettings full = FullSettings();
  const ProxyControls none = Controls(false, false, false, "", "", "", "");
  const struct {
    int32_t type;
    ProxyControls expected;
  } rows[] = {
      {0, none},
      {-1, none},
      {5, none},
      {7, none},
      {1, Controls(true, true, true, "http-host", "3128", "hu", "hp")},
      {2, Controls(true, false, false, "socks-host", "1080", "", "")},
      {3, Controls(true, false, false, "socks-host", "1080", "", "")},
      {4, Controls(true, true, true, "socks-host", "1080", "su", "sp")},
  };
  for (const auto& row : rows) EXPECT_EQ(ShowProxyType(full, row.type), row.expected) << row.type;
}

TEST(ShowProxyType, TheStoredUserNameAloneDecidesWhetherTheLoginIsShown) {
  ProxySettings passwordOnly = FullSettings();
  passwordOnly.m_strUserName.clear();
  passwordOnly.m_strSocksUserName.clear();
  EXPECT_EQ(ShowProxyType(passwordOnly, kProxyHttp11),
            Controls(true, true, false, "http-host", "3128", "", ""));
  EXPECT_EQ(ShowProxyType(passwordOnly, kProxySocks5),
            Controls(true, true, false, "socks-host", "1080", "", ""));

  ProxySettings userOnly = FullSettings();
  userOnly.m_strUserPassword.clear();
  EXPECT_EQ(ShowProxyType(userOnly, kProxyHttp11),
            Controls(true, true, true, "http-host", "3128", "hu", ""));
}

TEST(ShowProxyType, TheLoginBoxTogglesItsRowsAndKeepsTheirTexts) {
  ProxyControls controls = ShowProxyType(FullSettings(), kProxySocks5);
  OnNeedLoginInfoClicked(controls, false);
  EXPECT_EQ(controls, Controls(true, true, false, "socks-host", "1080", "su", "sp"));
  OnNeedLoginInfoClicked(controls, true);
  EXPECT_EQ(controls, Controls(true, true, true, "socks-host", "1080", "su", "sp"));
}

class ProxyOk : public ProxySetting {
 protected:
  ProxyOk() {
    dir.Write("Bin/BaseConfig.ini", BaseConfigBytes(kClientValues));
    dir.Write("Sys/Reachkit.ini", ToolBytes(kClientValues));
  }
  // Opens the dialog (its copy changes nothing here) and forgets the copy's writes.
  ProxySettingForm Opened() {
    ProxySettingForm form = OpenForm();
    profile.writes.clear();
    return form;
  }
  void ExpectBothFiles(const Values& values) {
    ExpectFile(Tool(), ToolBytes(values), values);
    ExpectFile(Base(), BaseConfigBytes(values), values);
    std::vector<Write> writes = NineWrites(values, Tool());
    for (const Write& w : NineWrites(values, Base())) writes.push_back(w);
    EXPECT_EQ(profile.writes, writes) << "tool settings first, then the base configuration";
  }
};

TEST_F(ProxyOk, ChecksLoginBeforeHostAndPortAndWritesNothingWhenRefused) {
  const struct {
    ProxyInput input;
    const char* message;
  } rows[] = {
      {{1, true, "", "", "", ""}, text::kEnterUserId},
      {{1, true, "", "", "u", ""}, text::kEnterUserPassword},
      {{1, true, "", "", "u", "p"}, text::kEnterProxyHost},
      {{1, true, "h", "", "u", "p"}, text::kEnterProxyPort},
      {{4, true, "", "", "", "p"}, text::kEnterUserId},
      {{4, true, "h", "1", "u", ""}, text::kEnterUserPassword},
      {{1, false, "", "", "", ""}, text::kEnterProxyHost},
      {{4, false, "h", "", "", ""}, text::kEnterProxyPort},
      // No login is offered for SOCKS4/4a, whatever the box says.
      {{2, true, "", "", "", ""}, text::kEnterProxyHost},
      {{3, true, "h", "", "", ""}, text::kEnterProxyPort},
  };
  for (const auto& row : rows) {
    ProxySettingForm form = Opened();
    EXPECT_STREQ(form.OnOK(row.input), row.message) << row.input.selection;
    EXPECT_TRUE(profile.writes.empty());
  }
  EXPECT_EQ(ReadBytes(Tool()), ToolBytes(kClientValues));
  EXPECT_EQ(ReadBytes(Base()), BaseConfigBytes(kClientValues));
}

TEST_F(ProxyOk, BlanksCountAsText) {
  ProxySettingForm form = Opened();
  EXPECT_EQ(form.OnOK({1, true, " ", " ", " ", " "}), nullptr);
  // Stored as typed (a read trims them again, as the profile functions do).
  std::vector<Write> writes =
      NineWrites({"1", " ", " ", " ", " ", "192.0.2.9", "1080", "su", "sp"}, Tool());
  EXPECT_EQ(std::vector<Write>(profile.writes.begin(), profile.writes.begin() + 9), writes);
}

TEST_F(ProxyOk, NoneWritesTypeZeroAndEveryOtherKeyUnchangedInBothFiles) {
  ProxySettingForm form = Opened();
  EXPECT_EQ(form.OnOK({0, true, "typed", "typed", "typed", "typed"}), nullptr);
  Values expected = kClientValues;
  expected[0] = "0";
  ExpectBothFiles(expected);
}

TEST_F(ProxyOk, NoSelectionIsStoredAsNone) {
  for (const int selection : {-1, 5}) {
    ProxySettingForm form = Opened();
    EXPECT_EQ(form.OnOK({selection, true, "", "", "", ""}), nullptr) << selection;
    Values expected = kClientValues;
    expected[0] = "0";
    ExpectBothFiles(expected);
    profile.writes.clear();
  }
}

TEST_F(ProxyOk, Socks5WithoutLoginClearsTheSocksLoginAndKeepsHttpKeys) {
  ProxySettingForm form = Opened();
  EXPECT_EQ(form.OnOK({4, false, "203.0.113.5", "1090", "ignored", "ignored"}), nullptr);
  ExpectBothFiles({"4", "192.0.2.8", "3128", "hu", "hp", "203.0.113.5", "1090", "", ""});
}

TEST_F(ProxyOk, Socks5WithLoginTakesTheTypedLogin) {
  ProxySettingForm form = Opened();
  EXPECT_EQ(form.OnOK({4, true, "203.0.113.5", "1090", "nu", "np"}), nullptr);
  ExpectBothFiles({"4", "192.0.2.8", "3128", "hu", "hp", "203.0.113.5", "1090", "nu", "np"});
}

TEST_F(ProxyOk, Socks4KeepsTheSocksLoginWhateverTheControlsHold) {
  for (const int32_t type : {kProxySocks4, kProxySocks4a}) {
    ProxySettingForm form = Opened();
    EXPECT_EQ(form.OnOK({type, true, "203.0.113.6", "1091", "x", "y"}), nullptr);
    const std::string typeText = std::to_string(type);
    ExpectBothFiles({typeText, "192.0.2.8", "3128", "hu", "hp", "203.0.113.6", "1091", "su", "sp"});
    profile.writes.clear();
  }
}

TEST_F(ProxyOk, HttpTakesOrClearsItsLoginAndKeepsSocksKeys) {
  {
    ProxySettingForm form = Opened();
    EXPECT_EQ(form.OnOK({1, true, "192.0.2.20", "8081", "nu", "np"}), nullptr);
    ExpectBothFiles({"1", "192.0.2.20", "8081", "nu", "np", "192.0.2.9", "1080", "su", "sp"});
  }
  {
    ProxySettingForm form = Opened();
    EXPECT_EQ(form.OnOK({1, false, "192.0.2.21", "8082", "nu", "np"}), nullptr);
    ExpectBothFiles({"1", "192.0.2.21", "8082", "", "", "192.0.2.9", "1080", "su", "sp"});
  }
}

TEST_F(ProxyOk, SwitchingTypeRefillsFromTheLoadedValues) {
  ProxySettingForm form = Opened();
  EXPECT_EQ(form.OnSelChange(kProxySocks4).hostText, "192.0.2.9");
  const ProxyControls back = form.OnSelChange(kProxyHttp11);
  EXPECT_EQ(back, Controls(true, true, true, "192.0.2.8", "3128", "hu", "hp"));
  EXPECT_EQ(form.ProxyType(), kProxyHttp11);
}

}  // namespace
}  // namespace rk
