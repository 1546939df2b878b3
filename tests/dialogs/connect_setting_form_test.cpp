#include "dialogs/connect_setting_form.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/texts.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Strings = std::vector<std::string>;

using Writes = std::vector<testing::RecordingStore::Write>;

const std::string kTaipei = "\xA5\x78\xA5\x5F";    // 台北
const std::string kTaichung = "\xA5\x78\xA4\xA4";  // 台中
const std::string kYi = "\xA4\x41", kWu = "\xA4\x61";  // 乙, 兀: trail bytes 'A', 'a'

TEST(PortCheck, AcceptsOnlyAPositiveDecimalThatFitsInt32) {
  const struct { const char* text; std::optional<int32_t> value; } rows[] = {
      {"", {}},    {"0", {}},    {"000", {}},  {"+80", {}}, {"-80", {}}, {"8o", {}}, {" 80", {}},
      {"80 ", {}}, {"0x50", {}}, {"\xA4\x40", {}}, {"2147483648", {}}, {"99999999999999999999", {}},
      {"080", 80}, {"1", 1}, {"70000", 70000}, {"2147483647", 2147483647}, {"00000000000001", 1}};
  for (const auto& row : rows) EXPECT_EQ(ParsePositiveInteger(row.text), row.value) << "'" << row.text << "'";
}

TEST(LocationSelection, FirstEntryBeginningWithTheStoredNameElseFirstEntry) {
  const struct { const char* why; Strings list; std::string stored; std::optional<size_t> index; }
  rows[] = {
      {"a longer name listed first wins", {"Northeast", "North"}, "North", 0},
      {"a shorter name listed first does not", {"North", "Northeast"}, "Northeast", 1},
      {"case-insensitive", {"South", "NORTHEAST"}, "northeast", 1},
      {"not listed", {"South", "North"}, "West", 0},
      {"nothing stored", {"South", "North"}, "", 0},
      {"Big5 name", {kTaipei, kTaichung}, kTaichung, 1},
      {"Big5 then ASCII of other case", {"A", kTaipei + "east"}, kTaipei + "EAST", 1},
      {"trail byte 'a' never folds to 'A'", {kYi, kWu}, kWu, 1},
      {"trail byte 'A' never folds to 'a'", {kWu, kYi}, kYi, 1},
      {"empty list", {}, "North", std::nullopt},
  };
  for (const auto& row : rows)
    EXPECT_EQ(InitialLocationIndex(row.list, row.stored, IsCp950LeadByte), row.index) << row.why;
}

TEST(ConnectSettingForm, OkChecksTheSelectionBeforeThePortsAndShowsOneMessage) {
  const Strings list = {"North", "South"};
  const struct { const char* why; Strings locations; int selection; const char *nm, *ps, *message; }
  rows[] = {
      {"no selection and bad ports", list, -1, "", "x", text::kNoLocationChosen},
      {"selection past the list", list, 2, "80", "81", text::kNoLocationChosen},
      {"NM port", list, 0, "0", "81", text::kPortMustBePositive},
      {"PS port", list, 0, "80", "", text::kPortMustBePositive},
      {"NM port beyond TCP, after the positive check", list, 0, "65536", "0", text::kPortMustBePositive},
      {"NM port beyond TCP", list, 0, "65536", "70000", text::kNmPortOutOfRange},
      {"PS port beyond TCP", list, 0, "65535", "70000", text::kPsPortOutOfRange},
      {"accepted", list, 1, "080", "65535", nullptr},
  };
  for (const auto& row : rows) {
    ConnectSettingForm form(row.locations, "North", 1, 2);
    EXPECT_STREQ(form.OnOK(row.selection, row.nm, row.ps), row.message) << row.why;
  }
}

TEST(ConnectSettingCommand, OffersTheStoredPriorityCancelWritesNothingOkWritesInOrder) {
  const testing::TempDir dir;
  const ClientPaths paths(dir.path().string());
  testing::RecordingStore profile;
  dir.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=North, South ," + kTaipei + "\r\n");
  dir.Write("Sys/Reachkit.ini", "[Priority]\r\nCombo=south,-1,8001\r\n");
  std::optional<ConnectSettingForm> offered;
  EXPECT_FALSE(OnConnectSetting(profile, paths, [&](ConnectSettingForm& form) {
    offered = form;
    return false;
  }));
  ASSERT_TRUE(offered.has_value());
  EXPECT_EQ(offered->Locations(), (Strings{"North", "South ", kTaipei}));
  EXPECT_EQ(offered->InitialSelection(IsCp950LeadByte), std::optional<std::size_t>(1));
  EXPECT_EQ(offered->InitialNmPortText() + "|" + offered->InitialPsPortText(), "|8001");
  EXPECT_TRUE(profile.writes.empty());

  // OK writes Priority, then moves only a valid Success aside.
  const auto confirm = [&](const std::string& bytes) {  // 台北 8000 8001 over this tool file
    dir.Write("Sys/Reachkit.ini", bytes);
    profile.writes.clear();
    EXPECT_TRUE(OnConnectSetting(profile, paths, [](ConnectSettingForm& form) {
      return form.OnOK(2, "8000", "8001") == nullptr;
    }));
    return profile.writes;
  };
  const std::string tool = paths.ToolSettingsPath(), priority = kTaipei + ",8000,8001";
  EXPECT_EQ(confirm("; kept\r\n[Success]\r\nCombo=South,1,2\r\n\r\n[Priority]\r\nCombo= - \r\n"),
            (Writes{{"Priority", "Combo", priority, tool},
                    {"LastSuccess", "Combo", "South,1,2", tool},
                    {"Success", "Combo", " - ", tool}}));
#if !defined(_WIN32)
  // Wine's writer re-serialises the file; byte-exact checks belong to our engine.
  EXPECT_EQ(testing::ReadBytes(tool),
            "; kept\r\n[Success]\r\nCombo= - \r\n\r\n[Priority]\r\nCombo=" + priority +
                "\r\n[LastSuccess]\r\nCombo=South,1,2\r\n");
#endif
  for (const std::string invalid : {"", " - ", "South,-1,2", "South,2"})
    EXPECT_EQ(confirm("[Success]\r\nCombo=" + invalid + "\r\n[LastSuccess]\r\nCombo=Old,3,4\r\n"),
              (Writes{{"Priority", "Combo", priority, tool}})) << invalid;
}

}  // namespace
}  // namespace rk
