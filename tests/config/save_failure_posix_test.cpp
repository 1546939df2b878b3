// Saves that cannot stick, made real for root too: root ignores permission bits, so the cases
// use the immutable attribute and a folder in the file's place (a half write: IniProfileStorePosix).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "config/connection_preference.h"
#include "config/ini_store.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace rk {
namespace {

bool Chattr(const char* flag, const fs::path& path) {
  const std::string command = std::string("chattr ") + flag + " '" + path.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

TEST(SaveFailure, AFailedSaveIsReportedWithTheFileAndLeavesItWhole) {
  testing::TempDir dir;
  const std::string before = "[Priority]\r\nCombo=South,1,2\r\n";
  // Root and a working chattr are needed; elsewhere the test says why it is skipped, and under
  // CI it fails instead.
  const fs::path probe = dir.Write("probe", "");
  const char* why = ::geteuid() != 0                                ? "needs root"
                    : !Chattr("+i", probe) || !Chattr("-i", probe) ? "chattr does not work here"
                                                                    : nullptr;
  if (why != nullptr) {
    if (const char* ci = std::getenv("CI"); ci != nullptr && std::string(ci) == "true") FAIL() << why;
    GTEST_SKIP() << why;
  }
  struct Row {
    const char* why;
    std::function<void(const fs::path& file)> breakIt, mend;
    const char* reason;  // part of the reason given; nullptr: the save must stick
  };
  const Row rows[] = {
      {"read-only file", [](const fs::path& f) { fs::permissions(f, fs::perms::owner_read); },
       [](const fs::path& f) { fs::permissions(f, fs::perms::owner_all); }, "read-only"},
      {"immutable file", [](const fs::path& f) { Chattr("+i", f); },
       [](const fs::path& f) { Chattr("-i", f); }, "read-only"},
      {"a folder in the file's place",
       [](const fs::path& f) { fs::remove(f); fs::create_directory(f); },
       [](const fs::path& f) { fs::remove(f); }, "not a regular file"},
      {"folder takes no new file, the file is writable: written in place",
       [](const fs::path& f) { Chattr("+i", f.parent_path()); },
       [](const fs::path& f) { Chattr("-i", f.parent_path()); }, nullptr},
      {"immutable folder and file", [](const fs::path& f) { Chattr("+i", f); Chattr("+i", f.parent_path()); },
       [](const fs::path& f) { Chattr("-i", f.parent_path()); Chattr("-i", f); }, "read-only"}};
  for (const Row& row : rows) {
    testing::TempDir client;
    const std::string path = client.Write("Sys/Reachkit.ini", before);
    const ClientPaths paths(client.path().string());
    row.breakIt(path);
    IniProfileStore store;
    const std::optional<SaveError> failed =
        StoreConnectionPreference({"North", 8000, 8001}, store, paths);
    const bool folder = fs::is_directory(path);
    const std::string after = folder ? "" : testing::ReadBytes(path);
    const auto entries = std::distance(fs::directory_iterator(client.path() / "Sys"), {});
    row.mend(path);
    if (row.reason == nullptr) {
      EXPECT_EQ(failed.has_value(), false) << row.why << ": " << (failed ? failed->reason : "");
      EXPECT_EQ(after, "[Priority]\r\nCombo=North,8000,8001\r\n") << row.why;
    } else {
      ASSERT_TRUE(failed.has_value()) << row.why;
      EXPECT_EQ(failed->path, path) << row.why;
      EXPECT_NE(failed->reason.find(row.reason), std::string::npos) << row.why << ": " << failed->reason;
      EXPECT_NE(SaveErrorText(*failed).find(path), std::string::npos) << row.why;
      if (!folder) {
        EXPECT_EQ(after, before) << row.why;
      }
    }
    EXPECT_EQ(entries, 1) << row.why << ": no temporary left behind";
  }
}

}  // namespace
}  // namespace rk
