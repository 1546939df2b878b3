// Client trees unpacked from Windows: folder and file names keep Windows'
// case, and code page 950 names arrive as UTF-8.
#include "config/path_lookup.h"

#include <gtest/gtest.h>

#include <string>

#include "config/client_paths.h"
#include "config/host_catalogue.h"
#include "support/test_support.h"

namespace rk {
namespace {

TEST(PathLookup, WindowsTreesAreFoundWhateverTheCaseAndEncoding) {
  testing::TempDir dir;
  dir.Write("SYS/vektradedesk.ini", "");
  dir.Write("SYS/\xE5\x8F\xB0\xE5\x8C\x97/\xE5\x8A\x9F.ini", "");  // 台北/功.ini in UTF-8
  dir.Write("SYS/Exact.ini", "");
  dir.Write("SYS/exact.INI", "");
  const std::string root = dir.path().string();
  const struct { const char* why; std::string asked, found; } rows[] = {
      {"case folded, folder and file", root + "/Sys/VekTradedesk.ini", root + "/SYS/vektradedesk.ini"},
      {"Big5 names stored as UTF-8, the trail byte 0x5C kept", root + "/sys/\xA5\x78\xA5\x5F/\xA5\x5C.ini",
       root + "/SYS/\xE5\x8F\xB0\xE5\x8C\x97/\xE5\x8A\x9F.ini"},
      {"an exact name wins over a folded one", root + "/SYS/exact.INI", root + "/SYS/exact.INI"},
      {"a new file keeps its name in the found folder", root + "/sys/Reachkit.ini",
       root + "/SYS/Reachkit.ini"},
      {"after a missing folder everything stays", root + "/None/sys/x.ini", root + "/None/sys/x.ini"}};
  for (const auto& row : rows) EXPECT_EQ(FindOnDisk(row.asked), row.found) << row.why;
}

TEST(PathLookup, TheCatalogueReadsATreeCopiedFromWindows) {
  testing::TempDir dir;
  dir.Write("SYS/O_TRADEDESK.INI", "[Config]\r\nFileName=Hosts\\\xA5\x5C.ini\r\n");
  dir.Write("SYS/HOSTS/\xE5\x8A\x9F.ini", "[Local]\r\nCount=1\r\nIP_1=127.0.0.9\r\nPort_1=7001\r\n");
  dir.Write("bin/baseconfig.ini", "[DC]\r\nClientToNMPortTry=8000\r\n");
  const ClientPaths paths(dir.path().string());
  const HostCatalogue catalogue = BuildHostCatalogue(SystemProfileStore(), paths);
  EXPECT_EQ(catalogue.hostTexts, std::vector<std::string>{"127.0.0.9"});
  EXPECT_EQ(catalogue.nmPorts, std::vector<int32_t>{8000});
}

}  // namespace
}  // namespace rk
