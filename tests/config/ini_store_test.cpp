#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "config/ini_engine.h"
#include "support/test_support.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace rk {
namespace {

TEST(IniProfileStore, ReadsThroughTheCallersBuffer) {
  testing::TempDir dir;
  std::string value;
  for (int i = 0; i < 300; ++i) value += static_cast<char>('a' + i % 26);
  const std::string path = dir.Write("a.ini", "[S]\r\nlong=" + value + "\r\nk=v\r\nn=\"80\"\r\ne=\r\n");
  const struct {
    std::string file, key, fallback;
    std::size_t buffer;
    std::string expected;
  } rows[] = {
      {path, "long", "fb", kProfileBufferSize, value.substr(0, 259)}, {path, "long", "fb", 0, ""},
      {path, "long", "fb", 259, value.substr(0, 258)},                {path, "e", "fb", 260, ""},
      {path, "x", "VekTradedesk.ini", 4, "Vek"},                      {path, "x", "fb ", 9, "fb"},
      {dir.File("none/a.ini"), "k", "fb", 260, "fb"},
  };
  IniProfileStore store;
  for (const auto& row : rows)
    EXPECT_EQ(store.GetString("S", row.key, row.fallback, row.buffer, row.file), row.expected)
        << row.key << " into " << row.buffer;
  const std::pair<const char*, int> ints[] = {{"n", 80}, {"k", 0}, {"e", 5}, {"x", 5}};
  for (const auto& [key, expected] : ints)
    EXPECT_EQ(store.GetInt("S", key, 5, path), expected) << key;
}

TEST(IniProfileStore, WritesFilesByteForByteOrNotAtAll) {
  testing::TempDir dir;
  IniProfileStore store;
  const std::string path = dir.File("new.ini");
  ASSERT_TRUE(store.WriteString("Priority", "Combo", "1", path));
  EXPECT_EQ(store.GetString("Priority", "Combo", "", 260, path), "1");
  ASSERT_TRUE(store.WriteString("Success", "Combo", "\xA4\xA4", path));
  ASSERT_TRUE(store.WriteString("PRIORITY", "combo", "2", path));
  EXPECT_EQ(testing::ReadBytes(path), "[Priority]\r\nCombo=2\r\n[Success]\r\nCombo=\xA4\xA4\r\n");
  const std::string before = "[S]\r\nk=old\r\n";
  const std::string readOnly = dir.Write("ro.ini", before);
  fs::permissions(readOnly, fs::perms::owner_read);
  EXPECT_FALSE(store.WriteString("S", "k", "new", readOnly));
  EXPECT_FALSE(store.WriteString("S", "a=b", "v", path));
  EXPECT_FALSE(store.WriteString("S", "k", "v", dir.File("none/a.ini")));
  fs::permissions(readOnly, fs::perms::owner_all);
  EXPECT_EQ(testing::ReadBytes(readOnly), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2) << "no temporaries left";
}

TEST(IniProfileStore, OddFilesReadAsMissingAndAreNeverReplaced) {
  testing::TempDir dir;
  std::string garbage;
  for (int i = 0; i < 65536; ++i) garbage += static_cast<char>((i * 131 + i / 7) % 256);
  const std::string line(1024 * 1024, 'x');
  fs::create_directories(dir.path() / "dir.ini");
  const struct {
    std::string path, k, long_;  // [S] k and long, fallback "fb"
  } rows[] = {
      {dir.File("dir.ini"), "fb", "fb"},
      {dir.Write("garbage.ini", garbage), "fb", "fb"},
      {dir.Write("nul.ini", "\0\0\r\n[S]\r\nk=v\0w\r\n\0"s), "v", "fb"},
      {dir.Write("long.ini", "[S]\r\nlong=" + line + "\r\nk=v\r\n"), "v", line.substr(0, 259)},
      {dir.Write("oneline.ini", line), "fb", "fb"},
  };
  IniProfileStore store;
  for (const auto& row : rows) {
    EXPECT_EQ(store.GetString("S", "k", "fb", 260, row.path), row.k) << row.path;
    EXPECT_EQ(store.GetString("S", "long", "fb", 260, row.path), row.long_) << row.path;
  }
  EXPECT_FALSE(store.WriteString("S", "k", "v", rows[0].path));
  EXPECT_TRUE(fs::is_empty(rows[0].path));
  // Garbage is still the user's file: a write keeps every byte and appends.
  ASSERT_TRUE(store.WriteString("S", "k", "v", rows[1].path));
  EXPECT_EQ(testing::ReadBytes(rows[1].path).substr(0, garbage.size()), garbage);
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, rows[1].path), "v");
}

TEST(IniProfileStore, CacheParsesOnceAndSeesOutsideChanges) {
  testing::TempDir dir;
  const std::string path = dir.Write("a.ini", "[S]\r\nk=1\r\nn=7\r\n");
  IniProfileStore store;
  EXPECT_EQ(store.GetString("S", "k", "", 260, path) + store.GetString("S", "n", "", 260, path), "17");
  EXPECT_EQ(store.loads(), 1u);
  // Another program rewrites a byte in place; only the modification time tells.
  const auto stamp = fs::last_write_time(path);
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr);
  std::fseek(f, 7, SEEK_SET);
  std::fputc('2', f);
  std::fclose(f);
  fs::last_write_time(path, stamp + std::chrono::seconds(1));
  EXPECT_EQ(store.GetString("S", "k", "", 260, path), "2");
  fs::remove(path);
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, path), "fb");
}

}  // namespace
}  // namespace rk
