// Natively only: under Wine every profile call goes through kernel32, and a
// hundred thousand of them would take minutes there.
#include <gtest/gtest.h>

#include <string>

#include "config/host_catalogue.h"
#include "support/test_support.h"

namespace rk {
namespace {

TEST(CatalogueBadInput, HugeOrCorruptCountsNeverStallStartUp) {
  testing::TempDir dir;
  const ClientPaths paths(dir.path().string());
  dir.Write("Sys/VekTradedesk.ini",
            "[Local]\r\nCount=2147483647\r\nIP_1=127.0.0.1\r\nPort_1=7001\r\n");
  const HostCatalogue huge = BuildHostCatalogue(SystemProfileStore(), paths);
  ASSERT_EQ(huge.size(), static_cast<std::size_t>(kMaxLocalEntries));
  EXPECT_EQ(huge.localPorts.front(), 7001);
  EXPECT_EQ(huge.hostTexts.back(), "");

  // Garbage, NUL bytes and a folder where a file should be read as nothing.
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  dir.Write("Sys/ZentickConSet.ini", garbage);
  dir.Write("Bin/BaseConfig.ini", std::string("[DC]\r\nClientToNMPortTry=80\0,81\r\n", 31));
  std::filesystem::remove(dir.File("Sys/VekTradedesk.ini"));
  std::filesystem::create_directories(dir.File("Sys/VekTradedesk.ini"));
  const HostCatalogue odd = BuildHostCatalogue(SystemProfileStore(), paths);
  EXPECT_EQ(odd.localPorts.size(), 0u);
  EXPECT_LE(odd.nmPorts.size(), 2u);
}

}  // namespace
}  // namespace rk
