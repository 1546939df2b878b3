// Our INI engine against kernel32's profile functions on the same files.
//
// Runs in the Windows build (under Wine in CI). The corpus leaves out the
// places where Wine's reader is known to differ from Windows, since there
// Wine is no reference:
// * a section header without ']' (Wine does not take it for a header) and a
//   header with text holding a second ']' (Wine ends the name at the last one);
// * a UTF-8 byte-order mark (Wine honours it, Windows does not);
// * control bytes such as '\v' around values (Wine trims them as blanks);
// * integers of more than 29 characters (Wine reads them through a 30-char
//   buffer);
// * a quoted value cut by a small buffer exactly at its closing quote, and
//   small buffers over two-byte text (Wine cuts in UTF-16 and converts back);
// * full-width and Greek/Cyrillic letters in names (the system folds them
//   through Unicode; our names fold ASCII letters only).
// Wine's writer rewrites whole files in its own layout, so writes are
// compared by the values read back, never by bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ini_engine.h"
#include "config/profile_store.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::TempDir;

struct CorpusFile {
  const char* name;
  std::string bytes;
  bool smallBufferSafe;  // no quoted values, no two-byte text
};

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

std::vector<CorpusFile> Corpus() {
  const std::string longValue = Repeat('L', 300);
  return {
      {"crlf.ini", "[S]\r\nk=v\r\nKey=Value\r\nnum=42\r\n[T]\r\nk=t\r\n", true},
      {"lf.ini", "[S]\nk=v\nKey=Value\nnum=42\n[T]\nk=t\n", true},
      {"cr.ini", "[S]\rk=v\rKey=Value\rnum=42\r[T]\rk=t\r", true},
      {"mixed.ini", "[S]\rk=v\nKey=Value\r\n\n[T]\rk=t", true},
      {"unended.ini", "[S]\r\nk=v\r\n[T]\r\nk=t", true},
      {"blanks.ini",
       "  [S]  \r\n  k  =  v  \r\n\tKey\t=\tV a l\t\r\nnum = -17 \r\n[ T ]\r\n k = t \r\n", true},
      {"quotes.ini",
       "[S]\r\nk=\"v\"\r\nKey='x y'\r\nnum=\"12\"\r\nq1=\"a'\r\nq2=\"\r\nq3=\"\"\r\n"
       "q4= \" in \" \r\nq5=\"\"v\"\"\r\n",
       false},
      {"comments.ini",
       ";k=top\r\n[S]\r\n;k=no\r\n  ; Key=no\r\nk=v ;not a comment\r\n#Key=hash\r\n"
       "Key=after\r\n",
       true},
      {"duplicates.ini",
       "[S]\r\nk=1\r\nk=2\r\n[T]\r\nk=t\r\n[s]\r\nk=3\r\nKey=only-later\r\n[T]\r\nnum=5\r\n", true},
      {"case.ini", "[sEcTiOn]\r\nKEY=Up\r\n[s]\r\nK=lower\r\n", true},
      {"after-bracket.ini", "[S] trailing text\r\nk=v\r\n[T]; also\r\nk=t\r\n", true},
      {"cp950.ini",
       "[\xA5\x41]\r\nk=A\r\n\xA5\x41=kA\r\n[\xA5\x61]\r\nk=a\r\n\xA5\x61=ka\r\n"
       "[\xA4\xA4\xA4\xE5]\r\n\xA6\x57\xBA\xD9=\xAD\xC8\r\nk=\xA5\x5C\r\n"
       "[\xA5\x5D" "x]\r\nk=bracket-trail\r\n",
       false},
      {"long.ini",
       "[S]\r\nk=" + longValue + "\r\nKey=" + Repeat('K', 259) + "\r\nnum=" + Repeat('N', 260) +
           "\r\n[T]\r\nk=" + Repeat('t', 258) + "\r\n",
       true},
      {"stray-lines.ini", "[S]\r\nnovalue\r\n\r\n\r\nk=v\r\n=nokey\r\n[T]\r\n\r\n", true},
      {"before-sections.ini", "k=pre\r\nKey=pre\r\n[S]\r\nKey=v\r\n", true},
      {"integers.ini",
       "[S]\r\nk=12abc\r\nKey=abc\r\nnum=4294967295\r\nneg=-2147483648\r\nplus=+5\r\n"
       "hex=0x10\r\nempty=\r\nspace= 7\r\nbig=99999999999\r\n[T]\r\nk=-0\r\nnum=+-3\r\n"
       "Key=0X10\r\nneg=-0x1F\r\nplus=+0o17\r\nhex=0b102\r\nempty=0x\r\nspace=0xg\r\n"
       "big=0xFFFFFFFF\r\n[\xA5\x41]\r\nk=00x10\r\nnum=0x-1\r\nKey=0o8\r\nneg=09\r\n",
       true},
      {"equals.ini", "[S]\r\nk=a=b\r\nKey==\r\nnum= = 3\r\n", true},
      {"empty-values.ini", "[S]\r\nk=\r\nKey=   \r\n[T]\r\n", true},
      {"empty.ini", "", true},
  };
}

const std::vector<std::string>& Sections() {
  static const std::vector<std::string> sections = {
      "S", "s", " S ", "T", "Section", "SECTION", "Missing",
      "\xA5\x41", "\xA5\x61", "\xA4\xA4\xA4\xE5", "\xA5\x5D" "x"};
  return sections;
}

const std::vector<std::string>& Keys() {
  static const std::vector<std::string> keys = {
      "k", "K", " k ", "Key", "KEY", "num", "q1", "q2", "q3", "q4", "q5", "#Key", "neg",
      "plus", "hex", "empty", "space", "big", "novalue", "missing", "\xA5\x41", "\xA5\x61",
      "\xA6\x57\xBA\xD9"};
  return keys;
}

// Every question on one file: strings through the product's 260-byte buffer
// and a small one, and integers.
void ExpectSameAnswers(ProfileStore& reference, ProfileStore& ours, const std::string& path,
                       const std::string& label, bool smallBufferSafe) {
  for (const std::string& section : Sections()) {
    for (const std::string& key : Keys()) {
      const std::string where = label + " [" + section + "] " + key;
      EXPECT_EQ(ours.GetString(section, key, "fb", kProfileBufferSize, path),
                reference.GetString(section, key, "fb", kProfileBufferSize, path))
          << where;
      EXPECT_EQ(ours.GetInt(section, key, 99, path), reference.GetInt(section, key, 99, path))
          << where;
      if (smallBufferSafe) {
        EXPECT_EQ(ours.GetString(section, key, "fallback", 4, path),
                  reference.GetString(section, key, "fallback", 4, path))
            << where << " (4-byte buffer)";
      }
    }
  }
}

TEST(IniDifferential, ReadsMatchTheSystem) {
  TempDir dir;
  IniProfileStore ours;
  ProfileStore& system = SystemProfileStore();
  for (const CorpusFile& file : Corpus()) {
    const std::string path = dir.Write(file.name, file.bytes);
    ExpectSameAnswers(system, ours, path, file.name, file.smallBufferSafe);
  }
  ExpectSameAnswers(system, ours, dir.File("missing.ini"), "missing file", true);
  ExpectSameAnswers(system, ours, dir.File("no-folder\\missing.ini"), "missing folder", true);
}

struct WriteStep {
  const char* what;
  std::string section;
  std::string key;
  std::string value;
};

std::vector<WriteStep> WriteSteps() {
  return {
      {"replace a value", "S", "k", "new"},
      {"replace in other case", "s", "KEY", "Case"},
      {"new key in a section", "S", "added", "1"},
      {"new key in a later section", "T", "added", "2"},
      {"new section", "New", "k", "3"},
      {"value with blanks and quotes", "S", "q", "  \"quoted value\"  "},
      {"CP950 section, key and value", "\xA4\xA4\xA4\xE5", "\xA5\x61",
       "\xA5\x5C\xAF\xE0\xA6\x72"},
      {"key with trail 'A' beside trail 'a'", "\xA4\xA4\xA4\xE5", "\xA5\x41", "upper"},
      {"value that tries to add a section", "S", "inject", "x\r\n[Evil]\r\nk=1"},
      {"long value", "T", "long", std::string(300, 'w')},
  };
}

// Our writes, read back by the system: every question answers the same, and
// the written key holds what was meant.
TEST(IniDifferential, SystemReadsWhatWeWrite) {
  TempDir dir;
  IniProfileStore ours;
  ProfileStore& system = SystemProfileStore();
  std::vector<CorpusFile> starts = Corpus();
  starts.push_back({"created.ini", "", true});
  for (const CorpusFile& file : starts) {
    const bool create = std::string(file.name) == "created.ini";  // no file at first
    const std::string path = create ? dir.File(file.name) : dir.Write(file.name, file.bytes);
    for (const WriteStep& step : WriteSteps()) {
      const std::string where = std::string(file.name) + ": " + step.what;
      ASSERT_TRUE(ours.WriteString(step.section, step.key, step.value, path)) << where;
      EXPECT_EQ(system.GetString(step.section, step.key, "fb", 1000, path),
                IniDocument::StoredForm(step.value))
          << where;
    }
    EXPECT_EQ(system.GetString("Evil", "k", "fb", 260, path), "fb") << file.name;
    ExpectSameAnswers(system, ours, path, std::string(file.name) + " after our writes", false);
  }
}

// The system's writes, read by us: the same values.
TEST(IniDifferential, WeReadWhatTheSystemWrites) {
  TempDir dir;
  IniProfileStore ours;
  ProfileStore& system = SystemProfileStore();
  const std::string path = dir.Write("system.ini", Corpus()[0].bytes);
  for (const WriteStep& step : WriteSteps()) {
    if (step.value.find_first_of("\r\n") != std::string::npos) continue;  // raw in the system's file
    system.WriteString(step.section, step.key, step.value, path);
    EXPECT_EQ(ours.GetString(step.section, step.key, "fb", 1000, path),
              system.GetString(step.section, step.key, "fb", 1000, path))
        << step.what;
  }
  ExpectSameAnswers(system, ours, path, "system.ini after the system's writes", false);
}

}  // namespace
}  // namespace rk
