// Our INI engine against kernel32 on the same files. The corpus avoids where Wine itself
// differs from Windows: headers without ']' or with a second ']', control bytes around values.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "config/ini_engine.h"
#include "support/test_support.h"

namespace rk {
namespace {

void ExpectSameAnswers(IniProfileStore& ours, const std::string& path) {
  ProfileStore& system = SystemProfileStore();
  for (const char* section : {"S", "s", "T ", "section", "\xA5\x41", "\xA5\x61", "\xA5\x5D"})
    for (const char* key : {"k", " K ", "Key", "q1", "q2", "q3", "nv", "\xA5\x41", "\xA5\x61"}) {
      const std::string where = path + " [" + section + "] " + key;
      EXPECT_EQ(ours.GetString(section, key, "fb", 260, path),
                system.GetString(section, key, "fb", 260, path)) << where;
      EXPECT_EQ(ours.GetInt(section, key, 9, path), system.GetInt(section, key, 9, path)) << where;
    }
}

TEST(IniDifferential, ReadsAndWritesAnswerLikeTheSystem) {
  const std::string corpus[] = {
      "[S]\r\nk=v\r\nKey=Value\r\n[T]\r\nk=t\r\n", "[S]\nk=v\nKey=Value\n[T]\nk=t",
      "[S]\rk=v\r\r[T]\rk=t\r",
      "  [ S ]  \r\n  k  =  v a  \r\n\tKey\t=\t-17\t\r\n;k=no\r\n[T]\r\n ;k=x\r\nk=t ;c\r\n",
      "[S]\r\nk=\"v\"\r\nKey=' x '\r\nq1=\"a'\r\nq2=\"\r\nq3=\"\"\"\"\r\n",
      "k=pre\r\n[S]\r\nk=1\r\nK=2\r\n[T]\r\nk=t\r\n[s]\r\nk=3\r\nKey=later\r\n[S]\r\n",
      "[sEcTiOn]\r\nKEY=Up\r\n[S] text\r\nnv\r\n=nokey\r\nk=\r\nKey=a=b\r\n",
      "[\xA5\x41]\r\nk=A\r\n\xA5\x41=kA\r\n[\xA5\x61]\r\nk=a\r\n\xA5\x61=ka\r\n",
      "[\xA5\x5D]\r\nk=\xA5\x5C\r\n[S]\r\nk=" + std::string(300, 'L') + "\r\nq2=+0x1F\r\n",
      "[S]\r\nKey=" + std::string(259, 'K') + "\r\nq1=" + std::string(258, 'K') + "\r\n", ""};
  const std::tuple<const char*, const char*, const char*> writes[] = {
      {"s", "KEY", "new"}, {"section", "q1", " 'q' "}, {"\xA5\x61", "\xA5\x41", "\xA5\x5C"}};
  testing::TempDir dir;
  IniProfileStore ours;
  for (std::size_t i = 0; i < std::size(corpus); ++i) {
    const std::string path = dir.Write(std::to_string(i) + ".ini", corpus[i]);
    ExpectSameAnswers(ours, path);
    for (const auto& [section, key, value] : writes)
      ASSERT_TRUE(ours.WriteString(section, key, value, path));
    ExpectSameAnswers(ours, path);  // our writes, read back by the system
  }
  ExpectSameAnswers(ours, dir.File("none\\missing.ini"));
}

}  // namespace
}  // namespace rk
