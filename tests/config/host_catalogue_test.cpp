#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/codepage.h"
#include "config/host_catalogue.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Strings = std::vector<std::string>;
using Ports = std::vector<int32_t>;

// Expected labels are written in UTF-8 here and compared as Big5 bytes.
Strings Big5(std::initializer_list<const char*> utf8) {
  Strings out;
  for (const char* text : utf8) out.push_back(Utf8ToCp950(text));
  return out;
}

class CatalogueTest : public ::testing::Test {
 protected:
  void Quote(const std::string& utf8) { dir_.Write("Sys/ZentickConSet.ini", Utf8ToCp950(utf8)); }
  void Base(const std::string& text) { dir_.Write("Bin/BaseConfig.ini", text); }
  void Hosts(const std::string& text, const char* name = "VekTradedesk.ini") {
    dir_.Write(std::string("Sys/") + name, text);
  }
  HostCatalogue Build() { return BuildHostCatalogue(SystemProfileStore(), paths_); }

  testing::TempDir dir_;
  ClientPaths paths_{dir_.path().string()};
};

struct LocationRow {
  const char* name;  // an example's name for failure messages
  const char* quoteFile;
  std::vector<const char*> labels;
  Strings hosts;
};

TEST_F(CatalogueTest, LocationListSplitting) {
  const LocationRow rows[] = {
      {"two locations",
       "[Tradedesk]\r\nName=Order1,Quote1\r\n[Order1]\r\nNMIP=10.1.1.1\r\n[Quote1]\r\nNMIP=10.1.1.2\r\n",
       {"交易主機-Order1 : 10.1.1.1", "報價主機-Quote1 : 10.1.1.2"},
       {"10.1.1.1", "10.1.1.2"}},
      {"Order test is case-sensitive",
       "[Tradedesk]\r\nName=order2,XOrderY\r\n[order2]\r\nNMIP=h2\r\n[XOrderY]\r\nNMIP=h3\r\n",
       {"報價主機-order2 : h2", "交易主機-XOrderY : h3"},
       {"h2", "h3"}},
      {"trailing comma adds an unnamed quote host",
       "[Tradedesk]\r\nName=A,B,\r\n[A]\r\nNMIP=1.1.1.1\r\n[B]\r\nNMIP=2.2.2.2\r\n",
       {"報價主機-A : 1.1.1.1", "報價主機-B : 2.2.2.2", "報價主機- : "},
       {"1.1.1.1", "2.2.2.2", ""}},
      {"leading comma keeps the whole text",
       "[Tradedesk]\r\nName=,A\r\n[A]\r\nNMIP=1.1.1.1\r\n",
       {"報價主機-,A : "},
       {""}},
      {"listed section without NMIP",
       "[Tradedesk]\r\nName=Order9\r\n",
       {"交易主機-Order9 : "},
       {""}},
      {"Chinese location name",
       "[Tradedesk]\r\nName=台北Order,高雄\r\n[台北Order]\r\nNMIP=127.0.0.1\r\n[高雄]\r\nNMIP=localhost\r\n",
       {"交易主機-台北Order : 127.0.0.1", "報價主機-高雄 : localhost"},
       {"127.0.0.1", "localhost"}},
      {"no Name", "[Tradedesk]\r\n", {}, {}},
  };
  for (const LocationRow& row : rows) {
    SCOPED_TRACE(row.name);
    Quote(row.quoteFile);
    const HostCatalogue catalogue = Build();
    Strings expected;
    for (const char* label : row.labels) expected.push_back(Utf8ToCp950(label));
    EXPECT_EQ(catalogue.labels, expected);
    EXPECT_EQ(catalogue.hostTexts, row.hosts);
    EXPECT_EQ(catalogue.serverSectionCount, static_cast<int32_t>(row.labels.size()));
  }
}

TEST_F(CatalogueTest, BlankAfterCommaNamesASectionBeginningWithThatBlank) {
  Quote("[Tradedesk]\r\nName=A, B\r\n[A]\r\nNMIP=1.1.1.1\r\n[B]\r\nNMIP=2.2.2.2\r\n");
  const HostCatalogue catalogue = Build();
  ASSERT_EQ(catalogue.size(), 2u);
  // The section name is looked up as written; the profile functions trim the
  // name they are asked for, so the host of [B] is found.
  EXPECT_EQ(catalogue.labels[1], Utf8ToCp950("報價主機- B : 2.2.2.2"));
}

struct PortRow {
  const char* text;
  Ports ports;
};

TEST(PortList, ClientArithmeticOverCommaSeparatedPieces) {
  const PortRow rows[] = {
      {"8001 , 8002 ", {8001, 8002}},
      {"443,80,8080", {443, 80, 8080}},
      {"8001,", {8001}},
      {"", {}},
      {" , ,", {}},
      {"\t7001\t", {7001}},
      {"80a", {849}},             // no digit test: 'a' counts as 49
      {"-1", {(45 - 48) * 10 + 1}},
      // A comma at index 0 makes the whole rest one piece, then what follows it.
      {",8001", {((((44 - 48) * 10 + 8) * 10 + 0) * 10 + 0) * 10 + 1, 8001}},
  };
  for (const PortRow& row : rows) EXPECT_EQ(ParsePortList(row.text), row.ports) << row.text;
  // Overflow wraps like the client's 32-bit arithmetic instead of being undefined.
  EXPECT_EQ(ParsePortList("4294967297"), Ports{1});
}

TEST_F(CatalogueTest, SharedPortsComeFromBaseConfiguration) {
  Base("[DC]\r\nClientToNMPortTry=8001 , 8002\r\n");
  EXPECT_EQ(Build().nmPorts, (Ports{8001, 8002}));
  Base("[DC]\r\n");
  EXPECT_TRUE(Build().nmPorts.empty());
}

struct LocalRow {
  const char* name;
  const char* hostFile;
  std::vector<const char*> labels;
  Strings hosts;
  Ports ports;
};

TEST_F(CatalogueTest, LocalSectionEntries) {
  const LocalRow rows[] = {
      {"missing port key gives 0 only for that entry",
       "[Local]\r\nCount=3\r\nIP_1=10.2.2.1\r\nPort_1=7001\r\nIP_2=10.2.2.2\r\nIP_3=h3\r\nPort_3=7003\r\n",
       {"交易主機-1 : 10.2.2.1:7001", "交易主機-2 : 10.2.2.2:0", "交易主機-3 : h3:7003"},
       {"10.2.2.1", "10.2.2.2", "h3"},
       {7001, 0, 7003}},
      {"missing IP key gives an empty host",
       "[Local]\r\nCount=1\r\nPort_1=7001\r\n",
       {"交易主機-1 : :7001"}, {""}, {7001}},
      {"negative count", "[Local]\r\nCount=-4\r\nIP_1=1.1.1.1\r\n", {}, {}, {}},
      {"no count", "[Local]\r\nIP_1=1.1.1.1\r\n", {}, {}, {}},
      {"count with trailing text", "[Local]\r\nCount=1x\r\nIP_1=h\r\nPort_1=1\r\n",
       {"交易主機-1 : h:1"}, {"h"}, {1}},
  };
  for (const LocalRow& row : rows) {
    SCOPED_TRACE(row.name);
    Hosts(row.hostFile);
    const HostCatalogue catalogue = Build();
    Strings expected;
    for (const char* label : row.labels) expected.push_back(Utf8ToCp950(label));
    EXPECT_EQ(catalogue.labels, expected);
    EXPECT_EQ(catalogue.hostTexts, row.hosts);
    EXPECT_EQ(catalogue.localPorts, row.ports);
    EXPECT_EQ(catalogue.serverSectionCount, 0);
  }
}

TEST_F(CatalogueTest, ServerEntriesAlwaysPrecedeLocalEntries) {
  Hosts("[Local]\r\nCount=1\r\nIP_1=10.9.9.9\r\nPort_1=9000\r\n", "MyHosts.ini");
  dir_.Write("Sys/O_Tradedesk.ini", "[Config]\r\nFileName=MyHosts.ini\r\n");
  Quote("[Quote1]\r\nNMIP=10.1.1.2\r\n[Tradedesk]\r\nName=Quote1\r\n");
  Base("[DC]\r\nClientToNMPortTry=443,80\r\n");
  const HostCatalogue catalogue = Build();
  EXPECT_EQ(catalogue.labels, Big5({"報價主機-Quote1 : 10.1.1.2", "交易主機-1 : 10.9.9.9:9000"}));
  EXPECT_EQ(catalogue.serverSectionCount, 1);

  const HostEntry server = catalogue.Entry(0);
  EXPECT_EQ(server.group, HostGroup::ServerSection);
  EXPECT_EQ(server.host, "10.1.1.2");
  const HostEntry local = catalogue.Entry(1);
  EXPECT_EQ(local.group, HostGroup::LocalSection);
  EXPECT_EQ(local.port, 9000);
}

TEST_F(CatalogueTest, NoFilesGiveAnEmptyCatalogue) {
  const HostCatalogue catalogue = Build();
  EXPECT_TRUE(catalogue.empty());
  EXPECT_TRUE(catalogue.nmPorts.empty());
  EXPECT_EQ(catalogue.serverSectionCount, 0);
}

TEST_F(CatalogueTest, LongValuesArriveCutTo259Bytes) {
  const std::string host(300, 'h');
  Quote("[Tradedesk]\r\nName=Order1\r\n[Order1]\r\nNMIP=" + host + "\r\n");
  const HostCatalogue catalogue = Build();
  ASSERT_EQ(catalogue.size(), 1u);
  EXPECT_EQ(catalogue.hostTexts[0], std::string(259, 'h'));

  // A Name list past 259 bytes loses its tail: the last location is shortened.
  std::string names;
  for (int i = 0; i < 30; ++i) names += "Location" + std::to_string(100 + i) + ",";
  Quote("[Tradedesk]\r\nName=" + names + "\r\n");
  const HostCatalogue cut = Build();
  EXPECT_EQ(cut.size(), 22u);  // 21 whole names of 12 bytes, then a 7-byte piece
  EXPECT_EQ(cut.labels.back(), Utf8ToCp950("報價主機-Locatio : "));
}

}  // namespace
}  // namespace rk
