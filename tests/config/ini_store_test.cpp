#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "config/ini_engine.h"
#include "support/test_support.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace rk {
namespace {

using testing::ReadBytes;
using testing::TempDir;

std::vector<std::string> FolderListing(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(IniProfileStoreRead, ValuesAreCutToTheBuffer) {
  struct Row {
    std::size_t valueLength;
    std::size_t bufferSize;
    std::size_t expectedLength;
  };
  const std::vector<Row> rows = {
      {300, kProfileBufferSize, 259}, {260, kProfileBufferSize, 259}, {259, kProfileBufferSize, 259},
      {258, kProfileBufferSize, 258}, {300, 256, 255},                {5, 3, 2},
      {5, 1, 0},                      {5, 0, 0},                      {0, 260, 0},
  };
  TempDir dir;
  IniProfileStore store;
  for (const Row& row : rows) {
    std::string value;
    for (std::size_t i = 0; i < row.valueLength; ++i) value += static_cast<char>('a' + i % 26);
    const std::string path = dir.Write("cut.ini", "[S]\r\nk=" + value + "\r\n");
    const std::string got = store.GetString("S", "k", "fallback", row.bufferSize, path);
    EXPECT_EQ(got, value.substr(0, row.expectedLength))
        << row.valueLength << " bytes into " << row.bufferSize;
  }
}

TEST(IniProfileStoreRead, FallbackWhenFileSectionOrKeyIsMissing) {
  TempDir dir;
  const std::string path = dir.Write("a.ini", "[S]\r\nk=v\r\nempty=\r\n");
  const std::string empty = dir.Write("empty.ini", "");
  struct Row {
    const char* what;
    std::string path;
    std::string section;
    std::string key;
    std::string fallback;
    std::size_t bufferSize;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"found", path, "S", "k", "fb", 260, "v"},
      {"found but empty is not missing", path, "S", "empty", "fb", 260, ""},
      {"missing key", path, "S", "x", "fb", 260, "fb"},
      {"missing section", path, "T", "k", "fb", 260, "fb"},
      {"missing file", dir.File("none.ini"), "S", "k", "fb", 260, "fb"},
      {"missing folder", dir.File("none/a.ini"), "S", "k", "fb", 260, "fb"},
      {"empty file", empty, "S", "k", "fb", 260, "fb"},
      {"empty path", "", "S", "k", "fb", 260, "fb"},
      {"fallback cut to the buffer", path, "S", "x", "VekTradedesk.ini", 4, "Vek"},
      {"fallback's trailing blanks dropped", path, "S", "x", "fb  ", 260, "fb"},
      {"empty fallback", path, "S", "x", "", 260, ""},
  };
  IniProfileStore store;
  for (const Row& row : rows)
    EXPECT_EQ(store.GetString(row.section, row.key, row.fallback, row.bufferSize, row.path),
              row.expected)
        << row.what;
}

TEST(IniProfileStoreRead, IntegersWithTheSystemsRules) {
  TempDir dir;
  const std::string path = dir.Write(
      "n.ini",
      "[S]\r\nplain=42\r\nsigned= -17 \r\nquoted=\"8080\"\r\ntext=abc\r\nmixed=12ab\r\n"
      "empty=\r\nblank=   \r\nhuge=4294967295\r\n");
  struct Row {
    const char* key;
    int fallback;
    int expected;
  };
  const std::vector<Row> rows = {
      {"plain", 0, 42},  {"signed", 0, -17}, {"quoted", 0, 8080}, {"text", 5, 0},
      {"mixed", 5, 12},  {"empty", 5, 5},    {"blank", 5, 5},     {"huge", 0, -1},
      {"missing", 7, 7},
  };
  IniProfileStore store;
  for (const Row& row : rows) EXPECT_EQ(store.GetInt("S", row.key, row.fallback, path), row.expected) << row.key;
  EXPECT_EQ(store.GetInt("S", "plain", 9, dir.File("none.ini")), 9);
}

TEST(IniProfileStoreWrite, CreatesAndEditsFilesByteForByte) {
  TempDir dir;
  IniProfileStore store;
  const std::string path = dir.File("Reachkit.ini");

  ASSERT_TRUE(store.WriteString("Priority", "Combo", "1", path));
  EXPECT_EQ(ReadBytes(path), "[Priority]\r\nCombo=1\r\n");
  // Reads after a write see it, although the cache held the file before.
  EXPECT_EQ(store.GetString("Priority", "Combo", "", 260, path), "1");

  ASSERT_TRUE(store.WriteString("priority", "Other", "x", path));
  ASSERT_TRUE(store.WriteString("Success", "Combo", "\xA4\xA4\xB5\xD8", path));
  ASSERT_TRUE(store.WriteString("PRIORITY", "combo", "2", path));
  EXPECT_EQ(ReadBytes(path),
            "[Priority]\r\nCombo=2\r\nOther=x\r\n[Success]\r\nCombo=\xA4\xA4\xB5\xD8\r\n");
  EXPECT_EQ(store.GetString("Success", "Combo", "", 260, path), "\xA4\xA4\xB5\xD8");
  EXPECT_EQ(FolderListing(dir), std::vector<std::string>{"Reachkit.ini"}) << "no temporaries left";

  // An LF file without a final line break, written by some other tool.
  const std::string lf = dir.Write("lf.ini", "; kept\n[DC]\nProxyType=0\n\n[X]\ny=1");
  ASSERT_TRUE(store.WriteString("DC", "ProxyHost", "127.0.0.1", lf));
  ASSERT_TRUE(store.WriteString("Z", "z", "1", lf));
  EXPECT_EQ(ReadBytes(lf), "; kept\n[DC]\nProxyType=0\nProxyHost=127.0.0.1\n\n[X]\ny=1\n[Z]\nz=1\n");
}

TEST(IniProfileStoreWrite, FailsCleanlyAndKeepsTheOldFile) {
  TempDir dir;
  IniProfileStore store;
  const std::string before = "[S]\r\nk=old\r\n";

  // A folder that does not exist: nothing is created.
  EXPECT_FALSE(store.WriteString("S", "k", "v", dir.File("none/a.ini")));
  EXPECT_FALSE(fs::exists(dir.path() / "none"));

  // Names that would not read back are refused before the file is touched.
  const std::string named = dir.Write("named.ini", before);
  EXPECT_FALSE(store.WriteString("S", "a=b", "v", named));
  EXPECT_FALSE(store.WriteString("", "k", "v", named));
  EXPECT_EQ(ReadBytes(named), before);

  // A read-only file is not replaced, not even by a process that could
  // rename over it.
  const std::string readOnly = dir.Write("ro.ini", before);
  fs::permissions(readOnly, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(store.WriteString("S", "k", "new", readOnly));
  EXPECT_EQ(ReadBytes(readOnly), before);
  EXPECT_EQ(store.GetString("S", "k", "", 260, readOnly), "old");
  fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add);

  // A folder standing where the file should be.
  fs::create_directories(dir.path() / "folder.ini");
  EXPECT_FALSE(store.WriteString("S", "k", "v", dir.File("folder.ini")));
  EXPECT_TRUE(fs::is_directory(dir.path() / "folder.ini"));
  EXPECT_TRUE(fs::is_empty(dir.path() / "folder.ini"));

  EXPECT_EQ(FolderListing(dir), (std::vector<std::string>{"folder.ini", "named.ini", "ro.ini"}))
      << "no temporaries left";
}

TEST(IniProfileStoreRobustness, OddFilesReadAsDefaultsAndAreNotOverwritten) {
  TempDir dir;
  std::mt19937 random(1234);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
  const std::string longLine(1024 * 1024, 'x');
  struct Row {
    const char* what;
    std::string path;
    std::string expectedK;   // GetString("S", "k") with fallback "fb"
    std::string expectedLong;
  };
  fs::create_directories(dir.path() / "dir.ini");
  const std::vector<Row> rows = {
      {"folder in place of the file", dir.File("dir.ini"), "fb", "fb"},
      {"binary garbage", dir.Write("garbage.ini", garbage), "fb", "fb"},
      {"NUL bytes only", dir.Write("nul.ini", std::string(4096, '\0')), "fb", "fb"},
      {"NUL bytes around real lines", dir.Write("nul2.ini", "\0\0\r\n[S]\r\nk=v\0w\r\n\0"s), "v",
       "fb"},
      {"1 MB line, then keys", dir.Write("long.ini", "[S]\r\nlong=" + longLine + "\r\nk=v\r\n"), "v",
       longLine.substr(0, 259)},
      {"1 MB line without any line break", dir.Write("oneline.ini", longLine), "fb", "fb"},
      {"UTF-16 text is not read as the code page",
       dir.Write("utf16.ini", "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s), "fb", "fb"},
  };
  IniProfileStore store;
  for (const Row& row : rows) {
    EXPECT_EQ(store.GetString("S", "k", "fb", 260, row.path), row.expectedK) << row.what;
    EXPECT_EQ(store.GetString("S", "long", "fb", 260, row.path), row.expectedLong) << row.what;
    EXPECT_EQ(store.GetInt("S", "k", 3, row.path), row.expectedK == "fb" ? 3 : 0) << row.what;
  }
  EXPECT_FALSE(store.WriteString("S", "k", "v", dir.File("dir.ini")));
  EXPECT_TRUE(fs::is_directory(dir.path() / "dir.ini"));

  // Garbage is still the user's file: a write edits it like any other,
  // adding its section at the end and keeping every byte before.
  const std::string garbagePath = dir.File("garbage.ini");
  ASSERT_TRUE(store.WriteString("S", "k", "v", garbagePath));
  const std::string after = ReadBytes(garbagePath);
  EXPECT_EQ(after.substr(0, garbage.size()), garbage);
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, garbagePath), "v");
}

TEST(IniProfileStoreRobustness, FilesBeyondTheSizeLimitAreLeftAlone) {
  TempDir dir;
  std::string big = "[S]\r\nk=v\r\n";
  big.resize(IniProfileStore::kMaxFileBytes + 1, ';');
  const std::string path = dir.Write("big.ini", big);
  IniProfileStore store;
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, path), "fb");
  EXPECT_FALSE(store.WriteString("S", "k", "w", path));
  EXPECT_EQ(fs::file_size(path), big.size());

  big.resize(IniProfileStore::kMaxFileBytes);
  const std::string atLimit = dir.Write("limit.ini", big);
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, atLimit), "v");
}

TEST(IniProfileStoreCache, ParsesOnceAndSeesEveryChange) {
  TempDir dir;
  constexpr int kKeys = 10000;
  std::string catalogue = "[Local]\r\nCount=10000\r\n";
  for (int i = 0; i < kKeys; ++i)
    catalogue += "IP_" + std::to_string(i) + "=127.0." + std::to_string(i / 256) + "." +
                 std::to_string(i % 256) + "\r\n";
  const std::string path = dir.Write("Vek.ini", catalogue);

  IniProfileStore store;
  for (int i = 0; i < kKeys; ++i) {
    const std::string expected = "127.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
    ASSERT_EQ(store.GetString("Local", "IP_" + std::to_string(i), "", 260, path), expected) << i;
  }
  EXPECT_EQ(store.GetInt("Local", "Count", 0, path), kKeys);
  EXPECT_EQ(store.loads(), 1u) << "a catalogue is parsed once, not once per key";

  // Another program rewrites the file in place with the same size; only its
  // modification time tells.
  const std::string small = dir.Write("small.ini", "[S]\r\nk=1\r\n");
  EXPECT_EQ(store.GetString("S", "k", "", 260, small), "1");
  const auto stamp = fs::last_write_time(small);
  {
    std::FILE* f = std::fopen(small.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 7, SEEK_SET);
    std::fputc('2', f);
    std::fclose(f);
  }
  fs::last_write_time(small, stamp + std::chrono::seconds(1));
  EXPECT_EQ(store.GetString("S", "k", "", 260, small), "2");

  // A file that disappears reads as missing, and as new when it returns.
  fs::remove(small);
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, small), "fb");
  dir.Write("small.ini", "[S]\r\nk=4\r\n");
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, small), "4");
}

}  // namespace
}  // namespace rk
