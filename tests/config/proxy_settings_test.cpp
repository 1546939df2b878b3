#include "config/proxy_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support/test_support.h"

namespace rk {
namespace {

// Saving and loading the nine keys is the proxy setting form's.
TEST(ProxySettingsRecord, StoredKeysTellMissingFromEmpty) {
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
}

}  // namespace
}  // namespace rk
