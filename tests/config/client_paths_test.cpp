#include <gtest/gtest.h>

#include <filesystem>

#include "base/dbcs.h"
#include "config/client_paths.h"
#include "support/test_support.h"

namespace rk {
namespace {

struct RootRow {
  const char* exe;
  const char* root;
};

TEST(ClientRoot, TwoLevelCutOfWindowsPaths) {
  const RootRow rows[] = {
      {"D:\\Tools\\Net\\Reachkit.exe", "D:\\Tools"},
      {"C:\\Client\\Bin\\Reachkit.exe", "C:\\Client"},
      {"C:\\A\\Reachkit.exe", "C:"},  // one level below the drive: the drive alone
      {"C:\\Reachkit.exe", ""},       // in the drive's root: empty
      {"\\Reachkit.exe", ""},         // a backslash at index 0 cuts to nothing
      {"Reachkit.exe", ""},
      {"", ""},
      // 成功 ends in the byte 0x5C; it must never be cut inside.
      {"C:\\\xA6\xA8\xA5\x5C\\Bin\\Reachkit.exe", "C:\\\xA6\xA8\xA5\x5C"},
      {"C:\\Client\\\xA6\xA8\xA5\x5C\\Reachkit.exe", "C:\\Client"},
      {"C:\\\xA5\x5C\\\xA5\x5C\\\xA5\x5C.exe", "C:\\\xA5\x5C"},
  };
  for (const RootRow& row : rows)
    EXPECT_EQ(RootFromExecutablePath(row.exe, '\\', IsCp950LeadByte), row.root) << row.exe;
}

TEST(ClientRoot, TwoLevelCutOfPosixPaths) {
  const RootRow rows[] = {
      {"/opt/client/bin/reachkit-cli", "/opt/client"},
      {"/a/b", ""},  // the separator left at index 0 empties the root
      {"/x", ""},
      // UTF-8 folder names: no byte of theirs is ever taken for a separator.
      {"/srv/\xE6\x88\x90\xE5\x8A\x9F/bin/reachkit-cli", "/srv/\xE6\x88\x90\xE5\x8A\x9F"},
  };
  for (const RootRow& row : rows)
    EXPECT_EQ(RootFromExecutablePath(row.exe, '/', NoLeadByte), row.root) << row.exe;
}

TEST(ClientRoot, ProcessRootIsTheFolderAboveTheExecutablesFolder) {
  const std::filesystem::path exe(ExecutablePath());
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(std::filesystem::path(ClientRootDirectory()), exe.parent_path().parent_path());
  EXPECT_EQ(&ClientRootDirectory(), &ClientRootDirectory());
}

TEST(ClientPathsLayout, EveryPathIsRootOneSeparatorAndTheRelativePart) {
  const ClientPaths windows("C:\\Client", '\\');
  EXPECT_EQ(windows.SysFilePath("X.ini"), "C:\\Client\\Sys\\X.ini");
  EXPECT_EQ(windows.QuoteSettingsPath(), "C:\\Client\\Sys\\ZentickConSet.ini");
  EXPECT_EQ(windows.ToolSettingsPath(), "C:\\Client\\Sys\\Reachkit.ini");
  EXPECT_EQ(windows.BaseConfigPath(), "C:\\Client\\Bin\\BaseConfig.ini");

  const ClientPaths driveRoot("", '\\');  // executable in a drive's root
  EXPECT_EQ(driveRoot.ToolSettingsPath(), "\\Sys\\Reachkit.ini");
  EXPECT_EQ(driveRoot.BaseConfigPath(), "\\Bin\\BaseConfig.ini");

  const ClientPaths posix("/opt/client", '/');
  EXPECT_EQ(posix.ToolSettingsPath(), "/opt/client/Sys/Reachkit.ini");
}

TEST(ClientPathsLayout, HostFileIsNamedByTheTradedeskSettings) {
  testing::TempDir dir;
  const ClientPaths paths(dir.path().string());
  ProfileStore& profile = SystemProfileStore();

  // No O_Tradedesk.ini: the default name.
  EXPECT_EQ(paths.PlatformHostFilePath(profile), paths.SysFilePath("VekTradedesk.ini"));

  // A file without the key: still the default.
  dir.Write("Sys/O_Tradedesk.ini", "[Other]\r\nFileName=Nope.ini\r\n");
  EXPECT_EQ(paths.PlatformHostFilePath(profile), paths.SysFilePath("VekTradedesk.ini"));

  dir.Write("Sys/O_Tradedesk.ini", "[Config]\r\nFileName=OtherHosts.ini\r\n");
  EXPECT_EQ(paths.PlatformHostFilePath(profile), paths.SysFilePath("OtherHosts.ini"));

  // The value is appended unchanged, even when it is empty.
  dir.Write("Sys/O_Tradedesk.ini", "[Config]\r\nFileName=\r\n");
  EXPECT_EQ(paths.PlatformHostFilePath(profile), paths.SysFilePath(""));
}

}  // namespace
}  // namespace rk
