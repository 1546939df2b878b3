#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/utf16.h"
#include "config/ini_document.h"

using namespace std::string_literals;

namespace rk {
namespace {

// UTF-16 text of an ASCII/UTF-8 literal, with its byte-order mark.
std::string Utf16File(const std::string& utf8, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  return bytes.append(Utf8ToUtf16(utf8, bigEndian));
}

// Reading rules past the differential test's corpus (duplicates, line breaks, blanks and quotes
// are there), and where Wine's kernel32 differs from Windows, so that test cannot pin them.
TEST(IniDocument, ReadsLikeTheSystem) {
  // A5 41 and A5 61 are two characters whose trail bytes are 'A' and 'a'.
  const std::string cp950 = "[\xA5\x41]\r\nk=upper\r\n[\xA5\x61]\r\nk=lower\r\n\xA5\x61x=2\r\n";
  const std::nullopt_t none = std::nullopt;
  const struct { std::string file, section, key; std::optional<std::string> expected; } rows[] = {
      {"[Sect]\r\nk=v\r\n", "Sec", "k", none},
      {"[S]\r\n\xC4=v\r\n", "S", "\xE4", none},  // high bytes never fold
      {cp950, "\xA5\x61", "k", "lower"}, {cp950, "\xA5\x61", "\xA5\x41X", none},
      {"[\xA5\x5D" "x]\r\nk=v\r\n", "\xA5\x5D" "x", "k", "v"},  // trail byte ']' ends no name
      {"[S]T] junk\r\nk=v\r\n", "S", "k", "v"}, {"k=v\r\n[S]\r\n=v\r\nk\r\n", "S", "k", none},
      {"[S]\r\n \t;k=v\r\nj=a ;c\r\n", "S", ";k", none}, {"[S]\r\nj=a ;c", "S", "j", "a ;c"},
      {"[S]\r\nk=\x01v\x1F\r\n", "S", "k", "\x01v\x1F"}, {"\0\r\n[S]\r\nk=a\0b\r\n"s, "S", "k", "a\0b"s},
      {"[Zone]\r\nZIP=z\r\n", "zone", "`", none},  // '[' and '@' are no letters
      // UTF-16: names and values reach us in code page 950, a character without a Big5 form as
      // '?' per UTF-16 unit; without a mark, or with a UTF-8 one, the text is not read so.
      {Utf16File("[台北]\r\n功=許 v\r\n"), "\xA5\x78\xA5\x5F", "\xA5\x5C", "\xB3\x5C v"},
      {Utf16File("[S]\r\nk=a\U0001F600b\r\n"), "S", "k", "a??b"},
      {Utf8ToUtf16("[S]\r\nk=v\r\n", false), "S", "k", none},
      {"\xEF\xBB\xBF[S]\r\nk=v\r\n", "S", "k", none}};
  for (const auto& row : rows)
    EXPECT_EQ(IniDocument(row.file).Find(row.section, row.key), row.expected) << row.file;
}

TEST(IniDocument, IntegersReadLikeTheSystem) {
  const std::pair<std::string, int> rows[] = {
      {"", 0}, {" \t42", 42}, {"+7", 7}, {"-7", -7}, {"12abc", 12}, {"1 2", 1}, {"abc", 0},
      {"+-1", 0}, {"\x01\x1F 5", 5}, {"4294967295", -1}, {"2147483648", INT32_MIN}, {"0x1f", 31},
      {"99999999999", 1215752191}, {"-0x10", -16}, {"0o17", 15}, {"0b101", 5}, {"0X10", 0}};
  for (const auto& [text, expected] : rows) EXPECT_EQ(ParseProfileInt(text), expected) << text;
}

TEST(IniDocument, WritesChangeOnlyWhatTheyMust) {
  const struct { std::string before, section, key, value, after; } rows[] = {
      {"[S]\r\na=1\r\nb=2\r\n", "S", "b", "3", "[S]\r\na=1\r\nb=3\r\n"},
      {"[S]\ra=1\rb=2\r", "S", "a", "9", "[S]\ra=9\rb=2\r"}, {"", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"[S]\r\n", "S", "n", "\ry", "[S]\r\nn=\r\n"},
      {"[Sec]\r\n  Key = 'o' \r\nKey=2\r\n", "SEC", "key", "n", "[Sec]\r\n  Key =n\r\nKey=2\r\n"},
      {"; top\r\n[\xA4\xA4]\r\n; c\r\n\xA6\x57=\xA5\x5C\r\n\0x=\xA5\x5C"s, "\xA4\xA4", "\xA6\x57",
       "\xB7\x73", "; top\r\n[\xA4\xA4]\r\n; c\r\n\xA6\x57=\xB7\x73\r\n\0x=\xA5\x5C"s},
      {"[S]\na=1\n; c\n\n[T]\nb=2\n", "S", "n", "v", "[S]\na=1\nn=v\n; c\n\n[T]\nb=2\n"},
      {"[S]\r\n\xA5\x41=1\r\n[S]\r\n", " S ", "\xA5\x61", "2",
       "[S]\r\n\xA5\x41=1\r\n\xA5\x61=2\r\n[S]\r\n"},
      {"x=0\n[S]\na=1", "S", "n", "v", "x=0\n[S]\na=1\nn=v\n"},
      {"[A]\ra=1\r", "S", "k", "v", "[A]\ra=1\r[S]\rk=v\r"},
      {"[A]\r\na=1", "\xA5\x5D", "k", "v", "[A]\r\na=1\r\n[\xA5\x5D]\r\nk=v\r\n"},
      {"[S]\r\nk=1\r\n", "S", "k", "x\r\n[Evil]\r\nk=1", "[S]\r\nk=x\r\n"},  // adds no lines
      // A section keeps its own line breaks; a new key goes before an indented comment that
      // ends the section; a UTF-16 file stays in its byte order.
      {"[A]\r\na=1\r\n[S]\na=1\n[T]\r\n", "S", "n", "v", "[A]\r\na=1\r\n[S]\na=1\nn=v\n[T]\r\n"},
      {"[A]\r\na=1\r\n[S]\ra=1\r", "S", "n", "v", "[A]\r\na=1\r\n[S]\ra=1\rn=v\r"},
      {"[A]\r\n[S]\n", "S", "n", "v", "[A]\r\n[S]\nn=v\n"},
      {"[S]\r\nk=1\r\n  ;k=c\r\n[T]\r\n", "S", "n", "v", "[S]\r\nk=1\r\nn=v\r\n  ;k=c\r\n[T]\r\n"},
      {Utf16File("[S]\r\nk=1\r\n"), "S", "n", "\xA5\x78", Utf16File("[S]\r\nk=1\r\nn=台\r\n")},
      {Utf16File("[S]\r\nk=舊\r\n; 許\r\n"), "S", "k", "\xB7\x73", Utf16File("[S]\r\nk=新\r\n; 許\r\n")},
      {Utf16File("[S]\nk=1", true), "\xA5\x78", "k", "v", Utf16File("[S]\nk=1\n[台]\nk=v\n", true)}};
  for (const auto& row : rows) {
    const std::string written =
        IniDocument(row.before).WithValue(row.section, row.key, row.value).value_or("refused");
    EXPECT_EQ(written, row.after) << row.before;
    EXPECT_EQ(IniDocument(written).Find(row.section, row.key), IniDocument::StoredForm(row.value));
  }
  for (const auto& [section, key] : {std::pair<std::string, std::string>{" ", "k"}, {"S", "a=b"},
                                     {"S", ";k"}, {"S", "[k"}, {"x]y", "k"}, {"\xA5", "k"}})
    EXPECT_EQ(IniDocument("[S]\r\n").WithValue(section, key, "v"), std::nullopt) << section << key;
  // Text that would not come back exactly is never written into a Unicode file.
  const std::string lone = "\xFF\xFE[\0S\0]\0\n\0\x00\xD8k\0=\0v\0"s;  // an unpaired surrogate
  EXPECT_EQ(IniDocument(lone).WithValue("S", "n", "v"), std::nullopt);
  EXPECT_EQ(IniDocument(Utf16File("[S]\n")).WithValue("S", "n", "\xA5"), std::nullopt);
}

TEST(IniDocument, ValuesPassThroughTheCallersBufferLikeTheSystem) {
  const std::string x258(258, 'x');
  const struct { const char* why; std::string raw; std::size_t buffer; std::string expected; } rows[] = {
      {"a cut inside a two-byte character drops its lead byte", x258 + "\xA5\x5C", 260, x258},
      {"a character that ends at the cut stays", x258.substr(1) + "\xA5\x5C", 260,
       x258.substr(1) + "\xA5\x5C"},
      {"pairs are counted from the start", std::string("\xA5\x5C").append(x258), 5, "\xA5\x5Cxx"},
      {"a quoted text that fills the buffer loses one more byte", std::string("\"").append(x258).append("x\""), 260, x258},
      {"one shorter keeps all", std::string("'").append(x258).append("'"), 260, x258},
      {"one longer is cut", std::string("\"").append(x258).append("xx\""), 260, x258 + "x"},
      {"small buffers", "\"ab\"", 3, "a"}, {"small buffers", "\"ab\"", 2, "a"},
      {"small buffers", "\"ab\"", 4, "ab"}, {"nothing fits", "abc", 1, ""}};
  for (const auto& row : rows)
    EXPECT_EQ(IniDocument::ReadThroughBuffer(row.raw, row.buffer), row.expected)
        << row.why << " (" << row.buffer << ")";
}

}  // namespace
}  // namespace rk
