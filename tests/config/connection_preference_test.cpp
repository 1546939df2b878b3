#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "config/connection_preference.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Strings = std::vector<std::string>;

struct SplitRow {
  const char* text;
  Strings pieces;
};

TEST(SplitListRule, TrimsTheRestAndDropsEmptyPieces) {
  const SplitRow rows[] = {
      {"North,8000,8001", {"North", "8000", "8001"}},
      {"North,,8000,8001", {"North", "8000", "8001"}},
      {"North ,8000,8001", {"North ", "8000", "8001"}},  // blank before a comma stays
      {" a , b ,, c ", {"a ", "b ", "c"}},
      {"\t\r\n", {}},
      {"", {}},
      {",,,", {}},
      {"single", {"single"}},
  };
  for (const SplitRow& row : rows) {
    Strings pieces{"left over"};
    SplitList(pieces, row.text, ",", true);
    EXPECT_EQ(pieces, row.pieces) << row.text;
  }
  Strings appended{"kept"};
  SplitList(appended, "x,y", ",", false);
  EXPECT_EQ(appended, (Strings{"kept", "x", "y"}));
}

TEST(LeadingInteger, AtoiReadingSaturatesOutsideThe32BitRange) {
  const std::pair<const char*, int32_t> rows[] = {
      {"8000", 8000}, {"  42", 42}, {"+7", 7},  {"-3x", -3},
      {"x", 0},       {"", 0},      {"- 5", 0}, {"007", 7},
      {"99999999999", INT32_MAX},   {"-99999999999", INT32_MIN},
  };
  for (const auto& [text, value] : rows) EXPECT_EQ(ParseLeadingInt(text), value) << text;
}

class PreferenceTest : public ::testing::Test {
 protected:
  void Tool(const std::string& utf8) { dir_.Write("Sys/Reachkit.ini", Utf8ToCp950(utf8)); }
  ConnectionPreference Read(bool priority) {
    ConnectionPreference record{"stale", 1, 1};
    ReadConnectionPreference(record, priority, SystemProfileStore(), paths_);
    return record;
  }
  std::string Label() { return Cp950ToUtf8(PreferenceLabelText(SystemProfileStore(), paths_)); }
  std::string Combo(const char* section) {
    return SystemProfileStore().GetString(section, "Combo", "<missing>", kProfileBufferSize,
                                          paths_.ToolSettingsPath());
  }

  testing::TempDir dir_;
  ClientPaths paths_{dir_.path().string()};
};

struct RecordRow {
  const char* combo;
  const char* location;
  int32_t nm;
  int32_t ps;
  bool valid;
  const char* label;
};

TEST_F(PreferenceTest, RecordsReadFromThePrioritySection) {
  const RecordRow rows[] = {
      {"North,8000,8001", "North", 8000, 8001, true, "成功連線： - 　　優先連線：North　8000　8001"},
      {"North,8000,8001,9", "", -1, -1, false, "成功連線： - 　　優先連線： - "},
      {"North,8000", "", -1, -1, false, "成功連線： - 　　優先連線： - "},
      {"North,,8000,8001", "North", 8000, 8001, true, "成功連線： - 　　優先連線：North　8000　8001"},
      {"North ,8000,8001", "North ", 8000, 8001, true, "成功連線： - 　　優先連線：North 　8000　8001"},
      {"North,x,8001", "North", 0, 8001, true, "成功連線： - 　　優先連線：North　0　8001"},
      {"North,-1,8001", "North", -1, 8001, false, "成功連線： - 　　優先連線： - "},
      {"台北,1,2", "台北", 1, 2, true, "成功連線： - 　　優先連線：台北　1　2"},
  };
  for (const RecordRow& row : rows) {
    SCOPED_TRACE(row.combo);
    Tool(std::string("[Priority]\r\nCombo=") + row.combo + "\r\n");
    const ConnectionPreference record = Read(true);
    EXPECT_EQ(record.strLocation, Utf8ToCp950(row.location));
    EXPECT_EQ(record.nNmPort, row.nm);
    EXPECT_EQ(record.nPsPort, row.ps);
    EXPECT_EQ(record.IsValid(), row.valid);
    EXPECT_EQ(Label(), row.label);
  }
}

TEST_F(PreferenceTest, LabelShowsSuccessFirstAndNothingWithoutAFile) {
  EXPECT_EQ(Label(), "成功連線： - 　　優先連線： - ");
  EXPECT_EQ(Read(true).strLocation, "");  // the stale record is emptied
  Tool("[Success]\r\nCombo=South,1,2\r\n[Priority]\r\nCombo=North,8000,8001\r\n");
  EXPECT_EQ(Label(), "成功連線：South　1　2　　優先連線：North　8000　8001");
  EXPECT_EQ(FormatConnectionPreference(Read(false)), "South,1,2");
}

TEST_F(PreferenceTest, StoringMovesAValidSuccessRecordAside) {
  Tool("[Success]\r\nCombo=South,1,2\r\n");
  StoreConnectionPreference({"North", 8000, 8001}, SystemProfileStore(), paths_);
  EXPECT_EQ(Combo("Priority"), "North,8000,8001");
  EXPECT_EQ(Combo("LastSuccess"), "South,1,2");
  EXPECT_EQ(Combo("Success"), "-");  // " - " reads back trimmed, and as no record
  EXPECT_EQ(Label(), "成功連線： - 　　優先連線：North　8000　8001");
}

TEST_F(PreferenceTest, StoringWithoutValidSuccessWritesOnlyPriority) {
  for (const char* success : {"", "South,-1,2", "South,1"}) {
    SCOPED_TRACE(success);
    Tool(std::string("[Success]\r\nCombo=") + success + "\r\n[LastSuccess]\r\nCombo=Old,5,6\r\n");
    StoreConnectionPreference({"North", 8000, 8001}, SystemProfileStore(), paths_);
    EXPECT_EQ(Combo("Priority"), "North,8000,8001");
    EXPECT_EQ(Combo("LastSuccess"), "Old,5,6");
    EXPECT_EQ(Combo("Success"), success);
  }
  // An invalid preference writes nothing at all.
  Tool("[Priority]\r\nCombo=Keep,1,1\r\n");
  StoreConnectionPreference({"", 1, 1}, SystemProfileStore(), paths_);
  StoreConnectionPreference({"X", -1, 1}, SystemProfileStore(), paths_);
  EXPECT_EQ(Combo("Priority"), "Keep,1,1");
}

// Logs every write, then lets the real store do it.
class RecordingStore final : public ProfileStore {
 public:
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t size, const std::string& path) override {
    return SystemProfileStore().GetString(section, key, fallback, size, path);
  }
  int GetInt(std::string_view section, std::string_view key, int fallback,
             const std::string& path) override {
    return SystemProfileStore().GetInt(section, key, fallback, path);
  }
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) override {
    writes.push_back(std::string(section) + "/" + std::string(key) + "=" + std::string(value));
    return SystemProfileStore().WriteString(section, key, value, path);
  }
  Strings writes;
};

TEST_F(PreferenceTest, WritesHappenInTheOrderPriorityLastSuccessSuccess) {
  Tool("[Success]\r\nCombo=South,1,2\r\n");
  RecordingStore store;
  StoreConnectionPreference({"North", 8000, 8001}, store, paths_);
  EXPECT_EQ(store.writes, (Strings{"Priority/Combo=North,8000,8001", "LastSuccess/Combo=South,1,2",
                                   "Success/Combo= - "}));
}

TEST_F(PreferenceTest, LocationListForTheDialog) {
  dir_.Write("Sys/ZentickConSet.ini",
             Utf8ToCp950("[Tradedesk]\r\nName= North, 台北 ,,South \r\n"));
  EXPECT_EQ(ReadLocationList(SystemProfileStore(), paths_),
            (Strings{"North", Utf8ToCp950("台北 "), "South"}));
  dir_.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\n");
  EXPECT_TRUE(ReadLocationList(SystemProfileStore(), paths_).empty());
}

}  // namespace
}  // namespace rk
