#include "dialogs/connect_setting_form.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "base/texts.h"
#include "config/connection_preference.h"
#include "dialogs/recording_profile_store.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::RecordingProfileStore;
using testing::TempDir;
using Strings = std::vector<std::string>;

// Big5 (code page 950) bytes of a few names.
const std::string kTaipei = "\xA5\x78\xA5\x5F";    // 台北
const std::string kTaichung = "\xA5\x78\xA4\xA4";  // 台中
const std::string kYi = "\xA4\x41";                // 乙: trail byte 'A'
const std::string kWu = "\xA4\x61";                // 兀: trail byte 'a'

TEST(PortCheck, RefusesEverythingButAPositiveDecimalThatFitsInt32) {
  const char* const refused[] = {"",           "0",          "000",
                                 "+80",        "-80",        "8o",
                                 " 80",        "80 ",        "8 0",
                                 "\xA4\x40",  // a Big5 character
                                 "80\xA4\x40", "2147483648", "99999999999999999999",
                                 "0x50",       "\t80"};
  for (const char* text : refused) {
    EXPECT_FALSE(IsPositiveInteger(text)) << "'" << text << "'";
    EXPECT_EQ(ParsePositiveInteger(text), std::nullopt) << "'" << text << "'";
  }
}

TEST(PortCheck, AcceptsLeadingZerosAndValuesBeyondTcpPorts) {
  const struct {
    const char* text;
    int32_t value;
  } rows[] = {{"080", 80},
              {"007", 7},
              {"1", 1},
              {"70000", 70000},
              {"2147483647", INT_MAX},
              {"000000000000000000000000000001", 1},
              {"8000", 8000}};
  for (const auto& row : rows) {
    EXPECT_TRUE(IsPositiveInteger(row.text)) << row.text;
    EXPECT_EQ(ParsePositiveInteger(row.text), std::optional<int32_t>(row.value)) << row.text;
  }
}

TEST(LocationSelection, FirstEntryBeginningWithTheStoredNameElseFirstEntry) {
  const struct {
    const char* why;
    Strings list;
    std::string stored;
    std::optional<std::size_t> expected;
  } rows[] = {
      {"a longer name listed first wins", {"Northeast", "North"}, "North", 0},
      {"exact entry listed first", {"North", "Northeast"}, "North", 0},
      {"prefix is case-insensitive", {"South", "NORTHEAST"}, "northeast", 1},
      {"mixed case both ways", {"South", "nOrTh"}, "NoRtH", 1},
      {"stored longer than every entry", {"No", "Nor"}, "North", 0},
      {"only the longer entry matches", {"Nor", "North"}, "North", 1},
      {"a location no longer listed", {"South", "North"}, "West", 0},
      {"no stored location", {"South", "North"}, "", 0},
      {"Big5 name", {kTaipei, kTaichung}, kTaichung, 1},
      {"Big5 prefix", {"South", kTaichung + "2"}, kTaichung, 1},
      {"Big5 name followed by ASCII, other case", {"A", kTaipei + "east"}, kTaipei + "EAST", 1},
      // A trail byte that looks like a letter is no letter: 兀 must not match 乙.
      {"trail byte 'a' never folds to 'A'", {kYi, kWu}, kWu, 1},
      {"trail byte 'A' never folds to 'a'", {kWu, kYi}, kYi, 1},
      {"empty list selects nothing", {}, "North", std::nullopt},
      {"empty list, no stored name", {}, "", std::nullopt},
  };
  for (const auto& row : rows)
    EXPECT_EQ(InitialLocationIndex(row.list, row.stored, IsCp950LeadByte), row.expected) << row.why;
}

TEST(ConnectSettingForm, EditsShowOnlyPortsAboveZero) {
  const ConnectSettingForm shown({"North"}, "North", 8000, 1);
  EXPECT_EQ(shown.InitialNmPortText(), "8000");
  EXPECT_EQ(shown.InitialPsPortText(), "1");
  const ConnectSettingForm blank({"North"}, "North", 0, -1);
  EXPECT_EQ(blank.InitialNmPortText(), "");
  EXPECT_EQ(blank.InitialPsPortText(), "");
  EXPECT_EQ(ConnectSettingForm({}, "", INT_MAX, 70000).InitialNmPortText(), "2147483647");
}

TEST(ConnectSettingForm, OkChecksSelectionBeforePortsAndShowsOneMessage) {
  const Strings list = {"North", "South"};
  const struct {
    const char* why;
    Strings locations;
    int selection;
    const char* nm;
    const char* ps;
    const char* message;
  } rows[] = {
      {"empty list", {}, -1, "80", "81", text::kNoLocationChosen},
      {"no selection and bad ports: selection first", list, -1, "", "x", text::kNoLocationChosen},
      {"selection past the list", list, 2, "80", "81", text::kNoLocationChosen},
      {"NM port zero", list, 0, "0", "81", text::kPortMustBePositive},
      {"PS port empty", list, 0, "80", "", text::kPortMustBePositive},
      {"both ports bad", list, 1, "+1", " 2", text::kPortMustBePositive},
      {"accepted", list, 1, "080", "70000", nullptr},
  };
  for (const auto& row : rows) {
    ConnectSettingForm form(row.locations, "North", 1, 2);
    const char* message = form.OnOK(row.selection, row.nm, row.ps);
    EXPECT_STREQ(message, row.message) << row.why;
  }
}

TEST(ConnectSettingForm, OkTakesTheSelectedEntryAndBothPorts) {
  ConnectSettingForm form({"Northeast", "North", kTaipei}, "North", 1, 2);
  EXPECT_EQ(form.OnOK(2, "080", "70000"), nullptr);
  const ConnectionPreference result = form.Result();
  EXPECT_EQ(result.strLocation, kTaipei);
  EXPECT_EQ(result.nNmPort, 80);
  EXPECT_EQ(result.nPsPort, 70000);
}

TEST(ConnectSettingForm, RefusedPortLeavesTheOtherTakenAndASecondOkSucceeds) {
  ConnectSettingForm form({"North", "South"}, "North", 1, 2);
  EXPECT_STREQ(form.OnOK(1, "9000", "abc"), text::kPortMustBePositive);
  EXPECT_EQ(form.Result().strLocation, "South");
  EXPECT_EQ(form.Result().nNmPort, 9000);
  EXPECT_EQ(form.Result().nPsPort, 2);
  EXPECT_EQ(form.OnOK(1, "9000", "9001"), nullptr);
  EXPECT_EQ(form.Result().nPsPort, 9001);
}

class ConnectSettingCommand : public ::testing::Test {
 protected:
  ConnectSettingCommand() : paths(dir.path().string()), profile(SystemProfileStore()) {
    dir.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=North, South ," + kTaipei + "\r\n");
  }
  std::string Tool() const { return paths.ToolSettingsPath(); }

  TempDir dir;
  ClientPaths paths;
  RecordingProfileStore profile;
};

TEST_F(ConnectSettingCommand, DialogIsOfferedTheStoredPriorityAndTheListedLocations) {
  dir.Write("Sys/Reachkit.ini", "[Priority]\r\nCombo=south,-1,8001\r\n");
  bool ran = false;
  const bool ok = OnConnectSetting(profile, paths, [&](ConnectSettingForm& form) {
    ran = true;
    EXPECT_EQ(form.Locations(), (Strings{"North", "South ", kTaipei}));
    EXPECT_EQ(form.InitialSelection(IsCp950LeadByte), std::optional<std::size_t>(1));
    EXPECT_EQ(form.InitialNmPortText(), "");
    EXPECT_EQ(form.InitialPsPortText(), "8001");
    return false;
  });
  EXPECT_TRUE(ran);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(profile.writes.empty()) << "Cancel must write nothing";
}

TEST_F(ConnectSettingCommand, OkMovesAValidSuccessAsideInOrderPriorityLastSuccessSuccess) {
  const std::string before =
      "; kept\r\n[Success]\r\nCombo=South,1,2\r\n\r\n[Priority]\r\nCombo= - \r\n";
  dir.Write("Sys/Reachkit.ini", before);
  const bool ok = OnConnectSetting(profile, paths, [&](ConnectSettingForm& form) {
    return form.OnOK(2, "8000", "8001") == nullptr;
  });
  EXPECT_TRUE(ok);
  const std::string priority = kTaipei + ",8000,8001";
  const std::vector<RecordingProfileStore::Write> expected = {
      {"Priority", "Combo", priority, Tool()},
      {"LastSuccess", "Combo", "South,1,2", Tool()},
      {"Success", "Combo", " - ", Tool()},
  };
  EXPECT_EQ(profile.writes, expected);
  // 成功連線： - 　　優先連線：台北　8000　8001
  EXPECT_EQ(PreferenceLabelText(profile, paths),
            "\xA6\xA8\xA5\x5C\xB3\x73\xBD\x75\xA1\x47 - \xA1\x40\xA1\x40"
            "\xC0\x75\xA5\xFD\xB3\x73\xBD\x75\xA1\x47" +
                kTaipei +
                "\xA1\x40"
                "8000\xA1\x40"
                "8001");
#if !defined(_WIN32)
  // Wine's writer re-serialises the file; byte-exact checks belong to our engine.
  EXPECT_EQ(testing::ReadBytes(Tool()),
            "; kept\r\n[Success]\r\nCombo= - \r\n\r\n[Priority]\r\nCombo=" + priority +
                "\r\n[LastSuccess]\r\nCombo=South,1,2\r\n");
#endif
}

TEST_F(ConnectSettingCommand, OkWithoutAValidSuccessWritesOnlyPriority) {
  const char* const successes[] = {"", "[Success]\r\nCombo= - \r\n",
                                   "[Success]\r\nCombo=South,-1,2\r\n",
                                   "[Success]\r\nCombo=South,2\r\n"};
  for (const char* success : successes) {
    TempDir other;
    other.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=North\r\n");
    other.Write("Sys/Reachkit.ini", std::string(success) + "[LastSuccess]\r\nCombo=Old,3,4\r\n");
    const ClientPaths otherPaths(other.path().string());
    RecordingProfileStore store(SystemProfileStore());
    EXPECT_TRUE(OnConnectSetting(store, otherPaths, [](ConnectSettingForm& form) {
      return form.OnOK(0, "5", "6") == nullptr;
    }));
    const std::vector<RecordingProfileStore::Write> expected = {
        {"Priority", "Combo", "North,5,6", otherPaths.ToolSettingsPath()}};
    EXPECT_EQ(store.writes, expected) << success;
    EXPECT_EQ(store.GetString("LastSuccess", "Combo", "", 260, otherPaths.ToolSettingsPath()),
              "Old,3,4");
  }
}

TEST_F(ConnectSettingCommand, EmptyLocationListOpensTheDialogWhichRefusesOk) {
  TempDir empty;
  const ClientPaths emptyPaths(empty.path().string());
  RecordingProfileStore store(SystemProfileStore());
  const bool ok = OnConnectSetting(store, emptyPaths, [](ConnectSettingForm& form) {
    EXPECT_EQ(form.InitialSelection(IsCp950LeadByte), std::nullopt);
    EXPECT_STREQ(form.OnOK(-1, "80", "81"), text::kNoLocationChosen);
    return false;  // only Cancel leaves the dialog
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(store.writes.empty());
  EXPECT_FALSE(std::filesystem::exists(emptyPaths.ToolSettingsPath()));
}

}  // namespace
}  // namespace rk
