// Our INI engine against kernel32 on the same files. The corpus avoids where Wine itself
// differs from Windows: headers without ']' or with a second ']', control bytes other than
// blank, tab, vertical tab, form feed and 0x1A around values, a UTF-8 byte-order mark, a cut
// at the buffer's end inside a two-byte character (Wine hands back a stray trail byte), keys
// that start with ';', and characters that Windows maps to a best-fit look-alike.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "base/utf16.h"
#include "config/ini_store.h"
#include "support/test_support.h"

namespace rk {
namespace {

void ExpectSameAnswers(IniProfileStore& ours, const std::string& path) {
  ProfileStore& system = SystemProfileStore();
  for (const char* section : {"S", "s", "T ", "section", "\xA5\x41", "\xA5\x61", "\xA5\x5D",
                              "zone", "\xA5\x78"})
    for (const char* key : {"k", " K ", "Key", "q1", "q2", "q3", "nv", "\xA5\x41", "\xA5\x61",
                            "zip", "A", "a", "z27", "z28", "z29", "\xA5\x5C"}) {
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
      "[S]\r\nKey=" + std::string(259, 'K') + "\r\nq1=" + std::string(258, 'K') + "\r\n", "",
      // White space as kernel32 trims it.
      "[\x0BS\x0C]\r\n\x1Ak\x0B=\x0C v\x1A\r\nKey=\x0B-17\x0C\r\n[\x1AT ]\r\nk=\x0Bt\r\n",
      // Quoted values at the buffer's limit, and empty ones.
      "[S]\r\nk=\"" + std::string(259, 'x') + "\"\r\nKey='" + std::string(258, 'y') +
          "'\r\nq1=\"" + std::string(260, 'z') + "\"\r\nq2=\"\"\r\nq3=''\r\nnv=\"\r\n",
      // Integers through the 30-character buffer.
      "[S]\r\nz27=" + std::string(27, '0') + "123\r\nz28=\"" + std::string(28, ' ') +
          "123\"\r\nz29=" + std::string(29, '0') + "9\r\nk=-" + std::string(28, '0') + "7\r\n",
      // Case folding at both ends of the alphabet; indented comments.
      "[Zone]\r\nZIP=z\r\nA=upper\r\n  ;zip=comment\r\n\t;k=comment\r\n[S]\r\n ;k=c\r\nk=v\r\n",
      // Unicode files.
      std::string("\xFF\xFE").append(Utf8ToUtf16("[S]\r\nk=台北 v\r\n 功 = 許\r\nKey=\"€\"\r\n[台]\r\nk=x\r\n", false)),
      std::string("\xFE\xFF").append(Utf8ToUtf16("[S]\nk=v\n[zone]\nzip=1", true))};
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

TEST(IniDifferential, FilesBeyondSixteenMebibytesReadLikeTheSystem) {
  std::string big = "[S]\r\n";
  const std::string pad = std::string("pad=").append(120, 'p').append("\r\n");
  while (big.size() < 17u * 1024u * 1024u) big += pad;
  testing::TempDir dir;
  const std::string path = dir.Write("big.ini", big + "k=end\r\n");
  IniProfileStore ours;
  EXPECT_EQ(ours.GetString("S", "k", "fb", 260, path), "end");
  EXPECT_EQ(ours.GetString("S", "k", "fb", 260, path),
            SystemProfileStore().GetString("S", "k", "fb", 260, path));
}

}  // namespace
}  // namespace rk
