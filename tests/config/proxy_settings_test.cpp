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

}  // namespace
}  // namespace rk
