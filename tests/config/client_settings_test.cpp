#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "base/codepage.h"
#include "base/dbcs.h"
#include "config/connection_preference.h"
#include "config/host_catalogue.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Strings = std::vector<std::string>;

TEST(ClientPaths, RootIsTwoLevelsAboveTheExecutableOrAsTypedWithoutEndSeparators) {
  const std::pair<const char*, const char*> rows[] = {
      {"D:\\Tools\\Net\\Reachkit.exe", "D:\\Tools"}, {"C:\\A\\Reachkit.exe", "C:"},
      {"C:\\Reachkit.exe", ""}, {"C:\\Client\\\xA6\xA8\xA5\x5C\\Reachkit.exe", "C:\\Client"}};  // 成功 ends in 5C
  for (const auto& [exe, root] : rows)
    EXPECT_EQ(RootFromExecutablePath(exe, '\\', IsCp950LeadByte), root) << exe;
  const std::tuple<const char*, char, LeadBytePredicate, const char*> typed[] = {
      {"C:\\Client\\\\", '\\', IsCp950LeadByte, "C:\\Client"},
      {"C:\\\xB3\x5C\\", '\\', IsCp950LeadByte, "C:\\\xB3\x5C"},  // 許 and a separator
      {"C:\\\xB3\x5C", '\\', NoLeadByte, "C:\\\xB3"},  // a single-byte code page
      {"/srv/client//", '/', NoLeadByte, "/srv/client"}, {"/", '/', NoLeadByte, "/"}, {"", '/', NoLeadByte, ""}};
  for (const auto& [path, separator, isLead, root] : typed)
    EXPECT_EQ(WithoutTrailingSeparators(path, separator, isLead), root) << path;
}

class ClientSettings : public ::testing::Test {
 protected:
  HostCatalogue Catalogue() { return BuildHostCatalogue(SystemProfileStore(), paths_); }
  void Write(const char* file, const std::string& utf8) { dir_.Write(file, Utf8ToCp950(utf8)); }
  std::string Label() { return Cp950ToUtf8(PreferenceLabelText(SystemProfileStore(), paths_)); }
  testing::TempDir dir_;
  ClientPaths paths_{dir_.path().string()};
};

TEST_F(ClientSettings, HostsComeFromTheLocationListThenTheLocalSection) {
  Write("Sys/O_Tradedesk.ini", "[Config]\r\nFileName=Mine.ini\r\n");
  const std::string list = "[Tradedesk]\r\nName=";
  const struct { std::string quote, hosts; Strings labels; } rows[] = {
      {list + "Order1,order2,XOrderY,\r\n[Order1]\r\nNMIP=h1\r\n[order2]\r\nNMIP=h2", "",
       {"交易主機-Order1 : h1", "報價主機-order2 : h2", "交易主機-XOrderY : ", "報價主機- : "}},
      {list + ",A\r\n[A]\r\nNMIP=h", "", {"報價主機-,A : "}},
      {list + "A, B\r\n[B]\r\nNMIP=h", "", {"報價主機-A : ", "報價主機- B : h"}},
      {list + "台北Order,高雄\r\n[高雄]\r\nNMIP=h", "", {"交易主機-台北Order : ", "報價主機-高雄 : h"}},
      {"", "[Local]\r\nCount=3\r\nIP_1=h1\r\nPort_1=7001\r\nIP_2=h2\r\nPort_3=7003",
       {"交易主機-1 : h1:7001", "交易主機-2 : h2:0", "交易主機-3 : :7003"}},
      {"", "[Local]\r\nCount=0\r\nIP_1=h", {}}, {"", "[Local]\r\nCount=-4\r\nIP_1=h", {}},
      {"[Q]\r\nNMIP=h1\r\n" + list + "Q", "[Local]\r\nCount=1x\r\nIP_1=h2",
       {"報價主機-Q : h1", "交易主機-1 : h2:0"}}};
  for (const auto& row : rows) {
    Write("Sys/ZentickConSet.ini", row.quote);
    Write("Sys/Mine.ini", row.hosts);
    Strings expected;
    for (const std::string& label : row.labels) expected.push_back(Utf8ToCp950(label));
    EXPECT_EQ(Catalogue().labels, expected) << row.quote << row.hosts;
  }
  const HostCatalogue last = Catalogue();
  EXPECT_EQ(last.hostTexts, (Strings{"h1", "h2"}));
  EXPECT_EQ(last.serverSectionCount, 1);
}

TEST_F(ClientSettings, PortListsAndLongValues) {
  const std::pair<const char*, std::vector<int32_t>> rows[] = {
      {"8001 , 8002 ", {8001, 8002}}, {"\t7001\t,", {7001}}, {" , ,", {}}, {"80a", {849}},
      {",8001", {-31999, 8001}}, {"4294967297", {1}}};  // ',' read as a digit worth -4, as the client does
  for (const auto& [text, ports] : rows) EXPECT_EQ(ParsePortList(text), ports) << text;
  Write("Bin/BaseConfig.ini", "[DC]\r\nClientToNMPortTry=443,80\r\n");
  EXPECT_EQ(Catalogue().nmPorts, (std::vector<int32_t>{443, 80}));
  std::string names;  // 21 names of 12 bytes, then a piece cut to 7 bytes
  for (int i = 100; i < 130; ++i) names += "Location" + std::to_string(i) + ",";
  Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=" + names);
  const HostCatalogue cut = Catalogue();
  ASSERT_EQ(cut.size(), 22u);
  EXPECT_EQ(cut.labels.back(), Utf8ToCp950("報價主機-Locatio : "));
}

TEST_F(ClientSettings, PreferenceRecordsNeedThreePiecesAndPortsOfZeroOrMore) {
  const std::pair<const char*, Strings> splits[] = {{" a ,, b ", {"a ", "b"}}, {"\t\r\n", {}}};
  for (const auto& [text, pieces] : splits) {
    Strings list{"left over"};
    SplitList(list, text, ",", true);
    EXPECT_EQ(list, pieces) << text;
  }
  const struct { const char* combo; ConnectionPreference want; const char* label; } rows[] = {
      {"North,,8000,8001", {"North", 8000, 8001}, "North　8000　8001"},
      {"North ,x,8001", {"North ", 0, 8001}, "North 　0　8001"}, {"台北,1,2", {"台北", 1, 2}, "台北　1　2"},
      {"North,8000,8001,9", {"", -1, -1}, " - "}, {"North,8000", {"", -1, -1}, " - "},
      {"North,-1,8001", {"North", -1, 8001}, " - "},
      {"N,-4294967296,1", {"N", INT32_MIN, 1}, " - "}};  // saturates, never wraps to 0
  for (const auto& row : rows) {
    Write("Sys/Reachkit.ini", std::string("[Priority]\r\nCombo=") + row.combo);
    ConnectionPreference got{"stale", 1, 1};
    ReadConnectionPreference(got, true, SystemProfileStore(), paths_);
    EXPECT_EQ(std::tuple(got.strLocation, got.nNmPort, got.nPsPort),
              std::tuple(Utf8ToCp950(row.want.strLocation), row.want.nNmPort, row.want.nPsPort));
    EXPECT_EQ(Label(), std::string("成功連線： - 　　優先連線：") + row.label);
  }
}

// The order of the writes and which Success moves aside: ConnectSettingCommand.
TEST_F(ClientSettings, StoringWritesNothingForAnInvalidPreferenceAndTakesPortZero) {
  Write("Sys/Reachkit.ini", "[Success]\r\nCombo=South,1,2\r\n");
  EXPECT_EQ(Label(), "成功連線：South　1　2　　優先連線： - ");
  const std::pair<ConnectionPreference, bool> rows[] = {
      {{"", 1, 1}, false}, {{"X", 1, -1}, false}, {{"N", 0, 1}, true}};
  for (const auto& [chosen, stored] : rows) {
    testing::RecordingStore recording;
    EXPECT_EQ(StoreConnectionPreference(chosen, recording, paths_), std::nullopt);
    EXPECT_EQ(recording.writes.empty(), !stored) << chosen.strLocation;
  }
}

}  // namespace
}  // namespace rk
