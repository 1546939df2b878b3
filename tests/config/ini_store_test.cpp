#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "config/host_catalogue.h"
#include "config/ini_store.h"
#include "support/test_support.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace rk {
namespace {

class IniStore : public ::testing::Test {
 protected:
  testing::TempDir dir;
  IniProfileStore store;
};

TEST_F(IniStore, ReadsThroughTheCallersBuffer) {
  const std::string v(300, 'v');
  const std::string path = dir.Write("a.ini", "[S]\r\nv=" + v + "\r\nk=x\r\nn='80'\r\ne=\r\n");
  // How a value is cut is IniDocument's; here the size handed down and the fallback's cut.
  const struct { std::string key, fallback; std::size_t buffer; std::string expected; } rows[] = {
      {"v", "", kProfileBufferSize, v.substr(0, 259)}, {"e", "fb", 260, ""},
      {"x", "Vek.ini", 4, "Vek"}, {"x", "fb ", 9, "fb"}};
  for (const auto& row : rows)
    EXPECT_EQ(store.GetString("S", row.key, row.fallback, row.buffer, path), row.expected)
        << row.key << " into " << row.buffer;
  for (const auto& [key, expected] : {std::pair{"n", 80}, {"k", 0}, {"e", 5}, {"x", 5}})
    EXPECT_EQ(store.GetInt("S", key, 5, path), expected) << key;
}

TEST_F(IniStore, WritesFilesByteForByteOrNotAtAll) {
  const std::string path = dir.File("new.ini");
  EXPECT_EQ(store.GetString("Priority", "Combo", "fb", 9, path), "fb");
  ASSERT_TRUE(store.WriteString("Priority", "Combo", "\xA4\xA4", path));
  EXPECT_EQ(store.GetString("Priority", "Combo", "", 9, path), "\xA4\xA4");  // not the cached miss
  EXPECT_EQ(testing::ReadBytes(path), "[Priority]\r\nCombo=\xA4\xA4\r\n");
  // A file that cannot be replaced is SaveFailure's.
  EXPECT_FALSE(store.WriteString("S", "k", "v", dir.File("none/a.ini")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "no temporaries left";
}

TEST_F(IniStore, OddFilesReadAsMissingAndAreNeverReplaced) {
  const std::string line(1024 * 1024, 'x');  // arbitrary bytes are the fuzzer's
  fs::create_directories(dir.path() / "dir.ini");
  const std::pair<std::string, std::string> rows[] = {
      {dir.File("dir.ini"), "fb"}, {dir.Write("line.ini", line), "fb"},
      {dir.Write("zeros.ini", "\0\r\n[S]\r\nk=v\0w"s), "v"},
      {dir.Write("long.ini", "[S]\r\nlong=" + line + "\r\nk=v\r\n"), "v"}};
  for (const auto& [path, k] : rows)
    EXPECT_EQ(store.GetString("S", "k", "fb", 260, path), k) << path;
  EXPECT_FALSE(store.WriteString("S", "k", "v", rows[0].first));
  EXPECT_TRUE(fs::is_empty(rows[0].first));
}

TEST_F(IniStore, CacheParsesOnceAndSeesOutsideChanges) {
  const std::string path = dir.Write("a.ini", "[S]\r\nk=1\r\nn=7\r\n");
  EXPECT_EQ(store.GetString("S", "k", "", 9, path) + store.GetString("S", "n", "", 9, path), "17");
  EXPECT_EQ(store.loads(), 1u);
  const auto stamp = fs::last_write_time(path);  // same size: only the time tells
  dir.Write("a.ini", "[S]\r\nk=2\r\nn=7\r\n");
  fs::last_write_time(path, stamp + std::chrono::seconds(1));
  EXPECT_EQ(store.GetString("S", "k", "", 9, path), "2");
  fs::remove(path);
  EXPECT_EQ(store.GetString("S", "k", "fb", 9, path), "fb");
}

TEST_F(IniStore, ACatalogueBuildLooksAtEachFileOnceAndLaterReadsSeeChanges) {
  dir.Write("Sys/VekTradedesk.ini", "[Local]\r\nCount=3\r\nIP_1=a\r\nIP_2=b\r\nIP_3=c\r\nPort_3=7000\r\n");
  dir.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=A,B\r\n[A]\r\nNMIP=127.0.0.2\r\n");
  const ClientPaths paths(dir.path().string());
  EXPECT_EQ(BuildHostCatalogue(store, paths).size(), 5u);
  // Quote settings, base configuration (missing), the host file's pointer (missing), host file.
  EXPECT_EQ(store.lookups(), 4u);
  dir.Write("Sys/VekTradedesk.ini", "[Local]\r\nCount=1\r\nIP_1=h\r\n");
  EXPECT_EQ(BuildHostCatalogue(store, paths).size(), 3u) << "the hold ends with the build";
  // While held, the store's own write is seen at once, by the next read of that file.
  const HeldFileStates held(store);
  const std::string hostFile = paths.SysFilePath("VekTradedesk.ini");
  ASSERT_EQ(store.GetString("Local", "IP_1", "", 260, hostFile), "h");
  ASSERT_TRUE(store.WriteString("Local", "IP_1", "w", hostFile));
  EXPECT_EQ(store.GetString("Local", "IP_1", "", 260, hostFile), "w");
}

}  // namespace
}  // namespace rk
