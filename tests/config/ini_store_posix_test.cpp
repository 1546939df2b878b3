#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/ini_engine.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace rk {
namespace {

using testing::ReadBytes;
using testing::TempDir;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::size_t EntriesIn(const TempDir& dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++n;
  return n;
}

TEST(IniProfileStorePosix, SpecialFilesNeverBlockAndAreNeverReplaced) {
  TempDir dir;
  const std::string fifo = dir.File("fifo.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Row {
    const char* what;
    std::string path;
  };
  const std::vector<Row> rows = {
      {"FIFO without a writer", fifo},
      {"character device", "/dev/null"},
      {"endless device", "/dev/zero"},
  };
  IniProfileStore store;
  for (const Row& row : rows) {
    EXPECT_EQ(store.GetString("S", "k", "fb", 260, row.path), "fb") << row.what;
    EXPECT_EQ(store.GetInt("S", "k", 4, row.path), 4) << row.what;
  }
  EXPECT_FALSE(store.WriteString("S", "k", "v", fifo));
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST(IniProfileStorePosix, WritesKeepModeOwnerAndLinks) {
  TempDir dir;
  IniProfileStore store;

  const std::string shared = dir.Write("shared.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  ASSERT_TRUE(store.WriteString("S", "k", "2", shared));
  EXPECT_EQ(ModeOf(shared), 0640u);

  const std::string open = dir.Write("open.ini", "[S]\nk=1\n");
  ASSERT_EQ(::chmod(open.c_str(), 0666), 0);
  ASSERT_TRUE(store.WriteString("S", "k", "2", open));
  EXPECT_EQ(ModeOf(open), 0666u);

  // A new file gets what any new file gets: 0666 less the umask.
  const mode_t mask = ::umask(022);
  const std::string fresh = dir.File("fresh.ini");
  const bool wrote = store.WriteString("S", "k", "1", fresh);
  ::umask(mask);
  ASSERT_TRUE(wrote);
  EXPECT_EQ(ModeOf(fresh), 0644u);

  // A link to the real file: the file changes, the link stays a link.
  const std::string target = dir.Write("real/target.ini", "[S]\r\nk=1\r\n");
  const std::string link = dir.File("link.ini");
  fs::create_symlink(target, link);
  ASSERT_TRUE(store.WriteString("S", "k", "2", link));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "[S]\r\nk=2\r\n");
  EXPECT_EQ(store.GetString("S", "k", "", 260, link), "2");
}

TEST(IniProfileStorePosix, CacheSeesAFileReplacedWithTheSameSizeAndTime) {
  TempDir dir;
  const std::string path = dir.Write("a.ini", "[S]\r\nk=1\r\n");
  IniProfileStore store;
  EXPECT_EQ(store.GetString("S", "k", "", 260, path), "1");
  // Another program replaces the file by a rename and sets the old
  // modification time on it: the inode still tells.
  const std::string replacement = dir.Write("a.new", "[S]\r\nk=2\r\n");
  fs::last_write_time(replacement, fs::last_write_time(path));
  fs::rename(replacement, path);
  EXPECT_EQ(store.GetString("S", "k", "", 260, path), "2");
  EXPECT_EQ(store.loads(), 2u);
}

// Root may write anywhere, so a failure halfway through the write is made
// with a file-size limit, which binds root too.
TEST(IniProfileStorePosix, WriteFailingHalfwayLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string before = "[S]\r\nk=old\r\n";
  const std::string path = dir.Write("a.ini", before);
  const std::string bigValue(64 * 1024, 'v');

  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit limited = old;
  limited.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

  IniProfileStore store;
  const bool wrote = store.WriteString("S", "k", bigValue, path);

  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(wrote);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(store.GetString("S", "k", "", 260, path), "old");
  EXPECT_EQ(EntriesIn(dir), 1u) << "the temporary file is removed";

  // With the limit gone the same write goes through.
  EXPECT_TRUE(store.WriteString("S", "k", bigValue, path));
  EXPECT_EQ(store.GetString("S", "k", "", 260, path), bigValue.substr(0, 259));
}

TEST(IniProfileStorePosix, UnreadableFilesReadAsDefaultsAndAreNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  const std::string path = dir.Write("locked.ini", "[S]\r\nk=v\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0200), 0);
  IniProfileStore store;
  EXPECT_EQ(store.GetString("S", "k", "fb", 260, path), "fb");
  EXPECT_FALSE(store.WriteString("S", "k", "w", path));
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(ReadBytes(path), "[S]\r\nk=v\r\n");
}

}  // namespace
}  // namespace rk
