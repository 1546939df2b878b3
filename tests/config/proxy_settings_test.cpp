#include "config/proxy_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace rk {
namespace {

TEST(ProxySettingsRecord, StoredKeysTellMissingFromEmptyAndSurviveARoundTrip) {
  testing::TempDir dir;
  const struct { const char* why; std::string bytes; std::array<bool, 9> stored; } rows[] = {
      {"no section", "[Other]\r\nProxyType=1\r\n", {}},
      {"empty values count as stored", "[DC]\r\nUserName=\r\nSOCKSUserPassword=\"\"\r\n",
       {false, false, false, true, false, false, false, false, true}},
      {"key names fold case", "[dc]\r\nproxytype=2\r\nPROXYPORT=8\r\n",
       {true, false, true, false, false, false, false, false, false}},
      {"other keys are not proxy keys", "[DC]\r\nClientToNMPortTry=1\r\n", {}},
  };
  for (const auto& row : rows) {
    const std::string path = dir.Write("a.ini", row.bytes);
    EXPECT_EQ(StoredProxyKeys(SystemProfileStore(), path), row.stored) << row.why;
    const bool any = row.stored != std::array<bool, 9>{};
    EXPECT_EQ(HoldsProxyKeys(SystemProfileStore(), path), any) << row.why;
  }

  ProxySettings settings;
  settings.m_nProxyType = kProxySocks5;
  settings.m_strSocksProxyServerName = "198.51.100.7";
  settings.m_strSocksUserPassword = "p w";
  const std::string path = dir.File("Sys/new.ini");
  std::filesystem::create_directories(dir.path() / "Sys");
  ASSERT_EQ(SaveProxySettings(settings, SystemProfileStore(), path), std::nullopt);
  EXPECT_EQ(LoadProxySettings(SystemProfileStore(), path), settings);
  std::array<bool, 9> all{};
  all.fill(true);
  EXPECT_EQ(StoredProxyKeys(SystemProfileStore(), path), all) << "all nine keys are written";
}

TEST(ProxySettingsRecord, MasterCopyIsTheToolFileOnlyWhenItHoldsAProxyKey) {
  const struct { const char* why; const char* tool; bool toolIsMaster; } rows[] = {
      {"no tool file", nullptr, false},
      {"tool file with preferences only", "[Priority]\r\nCombo=N,1,2\r\n", false},
      {"one empty proxy key", "[DC]\r\nUserName=\r\n", true},
      {"a full record", "[DC]\r\nProxyType=1\r\n", true},
  };
  for (const auto& row : rows) {
    testing::TempDir dir;
    dir.Write("Bin/BaseConfig.ini", "[DC]\r\nProxyType=4\r\n");
    std::filesystem::create_directories(dir.path() / "Sys");
    if (row.tool != nullptr) dir.Write("Sys/Reachkit.ini", row.tool);
    const ClientPaths paths(dir.path().string());
    const ProxyMasterCopy copy = FindProxyMasterCopy(SystemProfileStore(), paths);
    EXPECT_EQ(copy.toolFileIsMaster, row.toolIsMaster) << row.why;
    EXPECT_EQ(copy.masterPath, row.toolIsMaster ? paths.ToolSettingsPath() : paths.BaseConfigPath())
        << row.why;
    EXPECT_EQ(copy.copyPath, row.toolIsMaster ? paths.BaseConfigPath() : paths.ToolSettingsPath())
        << row.why;
  }
}

}  // namespace
}  // namespace rk
