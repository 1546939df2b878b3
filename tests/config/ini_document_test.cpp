#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/ini_engine.h"

using namespace std::string_literals;

namespace rk {
namespace {

const std::nullopt_t none = std::nullopt;

TEST(IniDocument, ReadsLikeTheSystem) {
  // A5 41 and A5 61 are two characters whose trail bytes are 'A' and 'a'.
  const std::string cp950 = "[\xA5\x41]\r\nk=upper\r\n[\xA5\x61]\r\nk=lower\r\n\xA5\x61x=2\r\n";
  const struct {
    std::string file, section, key;
    std::optional<std::string> expected;
  } rows[] = {
      {"[Sec]\r\nKey=MiXeD\r\n", "SEC", "kEY", "MiXeD"},
      {"[Section]\r\nKey=v\r\n", "Sect", "Key", none},
      {"[S]\r\n\xC4=v\r\n", "S", "\xE4", none},  // high bytes never fold
      {cp950, "\xA5\x41", "k", "upper"},
      {cp950, "\xA5\x61", "k", "lower"},
      {cp950, "\xA5\x61", "\xA5\x41X", none},
      {"[\xA4\xA4" "Ab]\r\nk=v\r\n", "\xA4\xA4" "aB", "K", "v"},
      {"[\xA5\x5D" "x]\r\nk=v\r\n", "\xA5\x5D" "x", "k", "v"},  // trail byte ']' ends no name
      {"[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
      {"[s]\r\nk=1\r\n[T]\r\n[S]\r\nk=2\r\nb=3\r\n", "S", "k", "1"},
      {"[s]\r\nk=1\r\n[T]\r\n[S]\r\nk=2\r\nb=3\r\n", "S", "b", none},
      {"  [ S\t]\r\n\t key  =  a  b \t\r\n", " S ", "\tkey ", "a  b"},
      {"[S]\r\nk= \" v \" \r\n", "S", "k", " v "},
      {"[S]\r\nk='v'\r\n", "S", "k", "v"},
      {"[S]\r\nk=\"\"v\"\"\r\n", "S", "k", "\"v\""},
      {"[S]\r\nk=\"v'\r\n", "S", "k", "\"v'"},
      {"[S]\r\nk=\"\r\n", "S", "k", "\""},
      {"[S]\r\nk=a=b ;c\r\n", "S", "k", "a=b ;c"},
      {"[S]\r\n  ;k=v\r\n", "S", "k", none},
      {"[S]\r\n#k=v\r\n", "S", "#k", "v"},
      {"[S]T] junk\r\nk=v\r\n", "S", "k", "v"},
      {"[S]\r\nk\r\nk2=v\r\n", "S", "k2", "v"},
      {"k=v\r\n[S]\r\n", "S", "k", none},
      {"[S]\r\n=v\r\n", "S", "", none},
      {"[S]\r\nk=\x01v\r\n", "S", "k", "\x01v"},  // control bytes are not blanks
      {"\0\0\r\n[S]\r\nk=a\0b\r\n"s, "S", "k", "a\0b"s},
      {"; c\r[S]\ra=1\r\r[T]\rb= 2 \r", "T", "b", "2"},
      {"; c\r[S]\ra=1\r\r[T]\rb= 2 \r", "S", "b", none},
      {"; c\n[S]\na=1\n\n[T]\nb= 2 ", "T", "b", "2"},
      {"; c\r[S]\na=1\r\n\r[T]\nb=2", "S", "a", "1"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(IniDocument(row.file).Find(row.section, row.key), row.expected) << row.file;
}

TEST(IniDocument, IntegersReadLikeTheSystem) {
  const std::pair<std::string, int> rows[] = {
      {"", 0},          {" \t42", 42},      {"+7", 7},          {"-7", -7},
      {"12abc", 12},    {"1 2", 1},         {"abc", 0},         {"+-1", 0},
      {"\x01\x1F 5", 5}, {"2147483648", -2147483647 - 1},      {"4294967295", -1},
      {"4294967297", 1}, {"99999999999", 1215752191},          {"0x1f", 31},
      {"-0x10", -16},   {"0o17", 15},       {"0b101", 5},       {"0X10", 0},
      {"0x", 0},        {"0b2", 0},         {" +0x1a!", 26},    {"09", 9},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(ParseProfileInt(text), expected) << text;
}

TEST(IniDocument, WritesChangeOnlyWhatTheyMust) {
  const struct {
    std::string before, section, key, value, after;
  } rows[] = {
      {"[S]\r\na=1\r\nb=2\r\n", "S", "b", "3", "[S]\r\na=1\r\nb=3\r\n"},
      {"[S]\ra=1\rb=2\r", "S", "a", "9", "[S]\ra=9\rb=2\r"},
      {"[Sec]\r\n  Key = \"old\" \r\nKey=2\r\n", "SEC", "key", "n", "[Sec]\r\n  Key =n\r\nKey=2\r\n"},
      {"; top\r\n[\xA4\xA4]\r\n; c\r\n\xA6\x57=\xA5\x5C\r\n\0x=\xA5\x5C"s, "\xA4\xA4", "\xA6\x57",
       "\xB7\x73", "; top\r\n[\xA4\xA4]\r\n; c\r\n\xA6\x57=\xB7\x73\r\n\0x=\xA5\x5C"s},
      {"[S]\r\na=1", "S", "a", "22", "[S]\r\na=22"},
      {"[S]\na=1\n; c\n\n[T]\nb=2\n", "S", "n", "v", "[S]\na=1\nn=v\n; c\n\n[T]\nb=2\n"},
      {"[S]\r\n\xA5\x41=1\r\n[S]\r\n", " S ", "\xA5\x61", "2", "[S]\r\n\xA5\x41=1\r\n\xA5\x61=2\r\n[S]\r\n"},
      {"[S]\r\n[T]\r\n", "S", "n", "v", "[S]\r\nn=v\r\n[T]\r\n"},
      {"x=0\n[S]\na=1", "S", "n", "v", "x=0\n[S]\na=1\nn=v\n"},
      {"", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"[A]\ra=1\r", "S", "k", "v", "[A]\ra=1\r[S]\rk=v\r"},
      {"[A]\r\na=1", "\xA5\x5D", "k", "v", "[A]\r\na=1\r\n[\xA5\x5D]\r\nk=v\r\n"},
      {"; c\n\n", "S", "k", "v", "; c\n\n[S]\nk=v\n"},
      {"[S]\r\nk=1\r\n", "S", "k", "x\r\n[Evil]\r\nk=1", "[S]\r\nk=x\r\n"},  // no lines added
      {"[S]\r\n", "S", "n", "\ry", "[S]\r\nn=\r\n"},
      {"[S]\r\n", "S", "n", "x\0y"s, "[S]\r\nn=x\r\n"},
  };
  for (const auto& row : rows) {
    const std::string written = IniDocument(row.before).WithValue(row.section, row.key, row.value);
    EXPECT_EQ(written, row.after) << row.before;
    EXPECT_EQ(IniDocument(written).Find(row.section, row.key), IniDocument::StoredForm(row.value));
  }
}

TEST(IniDocument, NamesThatWouldNotReadBackAreRefused) {
  const std::string file = "[S]\r\nk=1\r\n";
  const std::pair<std::string, std::string> refused[] = {
      {"S", ""}, {" ", "k"}, {"S", "a=b"}, {"S", ";k"}, {"S", "[k"}, {"S\nT", "k"},
      {"x]y", "k"}, {"\xA5", "k"}, {"S", "k\0"s},
  };
  for (const auto& [section, key] : refused)
    EXPECT_EQ(IniDocument(file).WithValue(section, key, "v"), file) << section << "/" << key;
  const std::pair<std::string, std::string> accepted[] = {{"S", "k;]"}, {"[S", "#k"}, {"\xA5\x5D", "\xA5\x5B"}};
  for (const auto& [section, key] : accepted)
    EXPECT_TRUE(IniDocument::IsWritableName(section, key)) << section << "/" << key;
}

}  // namespace
}  // namespace rk
