#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "config/host_catalogue.h"
#include "config/ini_store.h"
#include "support/test_support.h"

namespace rk {
namespace {

TEST(IniProfileStorePosix, SpecialFilesNeverBlockAndAreNeverReplaced) {
  testing::TempDir dir;
  const std::string fifo = dir.File("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  IniProfileStore store;
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, fifo), "fb");
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, "/dev/zero"), "fb");
  EXPECT_FALSE(store.WriteString("S", "k", "v", fifo));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// A file-size limit fails the write halfway, and binds root too.
TEST(IniProfileStorePosix, WriteFailingHalfwayLeavesTheOldFileWhole) {
  testing::TempDir dir;
  const std::string path = dir.Write("a.ini", "[S]\r\nk=old\r\n");
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const rlimit limited{4096, old.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool wrote = IniProfileStore().WriteString("S", "k", std::string(65536, 'v'), path);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(wrote);
  EXPECT_EQ(testing::ReadBytes(path), "[S]\r\nk=old\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Natively only: under Wine this many kernel32 calls would take minutes.
TEST(IniProfileStorePosix, HugeLocalCountNeverStallsTheCatalogue) {
  testing::TempDir dir;
  dir.Write("Sys/VekTradedesk.ini", "[Local]\r\nCount=2147483647\r\nIP_1=h\r\nPort_1=7001\r\n");
  const ClientPaths paths(dir.path().string());
  const HostCatalogue huge = BuildHostCatalogue(SystemProfileStore(), paths);
  ASSERT_EQ(huge.size(), static_cast<std::size_t>(kMaxLocalEntries));
}

}  // namespace
}  // namespace rk
