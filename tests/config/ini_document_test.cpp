#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/ini_engine.h"

using namespace std::string_literals;

namespace rk {
namespace {

struct ReadRow {
  const char* what;
  std::string file;
  std::string section;
  std::string key;
  std::optional<std::string> expected;
};

void ExpectReads(const std::vector<ReadRow>& rows) {
  for (const ReadRow& row : rows) {
    const IniDocument doc(row.file);
    EXPECT_EQ(doc.Find(row.section, row.key), row.expected) << row.what;
  }
}

const std::nullopt_t missing = std::nullopt;

TEST(IniDocumentRead, NamesMatchAsciiCaseInsensitively) {
  ExpectReads({
      {"same case", "[Sec]\r\nKey=v\r\n", "Sec", "Key", "v"},
      {"section asked in other case", "[Sec]\r\nKey=v\r\n", "SEC", "Key", "v"},
      {"key asked in other case", "[Sec]\r\nKey=v\r\n", "Sec", "kEY", "v"},
      {"value keeps its case", "[S]\r\nk=MiXeD\r\n", "s", "K", "MiXeD"},
      {"digits and punctuation are exact", "[S_1]\r\nk.2=v\r\n", "s_1", "K.2", "v"},
      {"a different name is not a match", "[Sec]\r\nKey=v\r\n", "Sec", "Keys", missing},
      {"a prefix is not a match", "[Section]\r\nk=v\r\n", "Sect", "k", missing},
      {"high bytes are never folded", "[S]\r\n\xC4=v\r\n", "S", "\xE4", missing},
  });
}

TEST(IniDocumentRead, Cp950NamesCompareTwoByteCharactersExactly) {
  // A5 41 and A5 61 are two different characters whose trail bytes are the
  // letters 'A' and 'a'; folding them would merge two names.
  const std::string upperTrail = "\xA5\x41";
  const std::string lowerTrail = "\xA5\x61";
  const std::string file = "[" + upperTrail + "]\r\nk=upper\r\n" + upperTrail + "x=1\r\n[" +
                           lowerTrail + "]\r\nk=lower\r\n" + lowerTrail + "x=2\r\n";
  ExpectReads({
      {"section with trail 'A'", file, upperTrail, "k", "upper"},
      {"section with trail 'a'", file, lowerTrail, "k", "lower"},
      {"key with trail 'A'", file, upperTrail, upperTrail + "x", "1"},
      {"key with trail 'a' not in first section", file, upperTrail, lowerTrail + "x", missing},
      {"key with trail 'a'", file, lowerTrail, lowerTrail + "X", "2"},
      {"ASCII after a two-byte character still folds", "[\xA4\xA4" "Ab]\r\nk=v\r\n", "\xA4\xA4" "aB",
       "K", "v"},
      {"trail byte ']' does not end the section name", "[\xA5\x5D" "x]\r\nk=v\r\n",
       "\xA5\x5D" "x", "k", "v"},
      {"trail byte '\\' in a value is kept", "[S]\r\nk=\xA5\x5C\r\n", "S", "k", "\xA5\x5C"},
      {"trail byte '[' in a key", "[S]\r\n\xA5\x5B=v\r\n", "S", "\xA5\x5B", "v"},
  });
}

TEST(IniDocumentRead, FirstOfDuplicatesWins) {
  ExpectReads({
      {"first duplicate key", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "1"},
      {"duplicate key in other case", "[S]\r\nKey=1\r\nKEY=2\r\n", "S", "key", "1"},
      {"first duplicate section", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "1"},
      {"duplicate section in other case", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "1"},
      {"key only in the later duplicate section is not found",
       "[S]\r\na=1\r\n[T]\r\nt=1\r\n[S]\r\nb=2\r\n", "S", "b", missing},
      {"other sections between duplicates still read", "[S]\r\na=1\r\n[T]\r\nt=1\r\n[S]\r\n",
       "T", "t", "1"},
  });
}

TEST(IniDocumentRead, BlanksAndQuotesAroundNamesAndValues) {
  ExpectReads({
      {"blanks around key and value", "[S]\r\n  key  =  value  \r\n", "S", "key", "value"},
      {"tabs around key and value", "[S]\r\n\tkey\t=\tvalue\t\r\n", "S", "key", "value"},
      {"blanks inside a value stay", "[S]\r\nk= a  b \r\n", "S", "k", "a  b"},
      {"blanks around the section name", "[ S\t]\r\nk=v\r\n", "S", "k", "v"},
      {"header indented", "   [S]\r\nk=v\r\n", "S", "k", "v"},
      {"name asked with blanks", "[S]\r\nk=v\r\n", " S ", "\tk ", "v"},
      {"double quotes removed", "[S]\r\nk=\"v\"\r\n", "S", "k", "v"},
      {"single quotes removed", "[S]\r\nk='v'\r\n", "S", "k", "v"},
      {"blanks inside quotes stay", "[S]\r\nk= \" v \" \r\n", "S", "k", " v "},
      {"only the outer pair goes", "[S]\r\nk=\"\"v\"\"\r\n", "S", "k", "\"v\""},
      {"unmatched quotes stay", "[S]\r\nk=\"v'\r\n", "S", "k", "\"v'"},
      {"quote at one end only", "[S]\r\nk=\"v\r\n", "S", "k", "\"v"},
      {"a lone quote stays", "[S]\r\nk=\"\r\n", "S", "k", "\""},
      {"empty quotes give empty", "[S]\r\nk=\"\"\r\n", "S", "k", ""},
      {"empty value", "[S]\r\nk=\r\n", "S", "k", ""},
      {"blank value", "[S]\r\nk=   \r\n", "S", "k", ""},
      {"'=' inside the value", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
  });
}

TEST(IniDocumentRead, CommentsSectionHeadersAndStrayLines) {
  ExpectReads({
      {"';' line is a comment", "[S]\r\n;k=v\r\n", "S", "k", missing},
      {"indented ';' line is a comment", "[S]\r\n  ;k=v\r\n", "S", "k", missing},
      {"';' inside a value is text", "[S]\r\nk=v ;c\r\n", "S", "k", "v ;c"},
      {"'#' starts a key, not a comment", "[S]\r\n#k=v\r\n", "S", "#k", "v"},
      {"text after ']' is ignored", "[S] junk\r\nk=v\r\n", "S", "k", "v"},
      {"name ends at the first ']'", "[S]T]\r\nk=v\r\n", "S", "k", "v"},
      {"line without '=' is no key", "[S]\r\nk\r\nk2=v\r\n", "S", "k", missing},
      {"line without '=' does not break the section", "[S]\r\nk\r\nk2=v\r\n", "S", "k2", "v"},
      {"empty key is never found", "[S]\r\n=v\r\n", "S", "", missing},
      {"empty section is never found", "[]\r\nk=v\r\n", "", "k", missing},
      {"keys before any section belong to none", "k=v\r\n[S]\r\n", "S", "k", missing},
      {"keys before any section under no name", "k=v\r\n[S]\r\n", "k", "k", missing},
      {"blank lines inside a section", "[S]\r\n\r\n\r\nk=v\r\n", "S", "k", "v"},
      {"missing section", "[S]\r\nk=v\r\n", "T", "k", missing},
      {"key of another section", "[S]\r\nk=v\r\n[T]\r\n", "T", "k", missing},
      {"empty file", "", "S", "k", missing},
  });
}

TEST(IniDocumentRead, LineBreakStylesReadAlike) {
  const std::vector<std::pair<const char*, std::string>> files = {
      {"CRLF", "; c\r\n[S]\r\na=1\r\n\r\n[T]\r\nb= 2 \r\n"},
      {"LF", "; c\n[S]\na=1\n\n[T]\nb= 2 \n"},
      {"CR", "; c\r[S]\ra=1\r\r[T]\rb= 2 \r"},
      {"mixed", "; c\r[S]\na=1\r\n\r[T]\nb= 2 "},
      {"no final break", "; c\r\n[S]\r\na=1\r\n\r\n[T]\r\nb= 2 "},
  };
  for (const auto& [style, bytes] : files) {
    const IniDocument doc(bytes);
    EXPECT_EQ(doc.Find("S", "a"), "1") << style;
    EXPECT_EQ(doc.Find("T", "b"), "2") << style;
    EXPECT_EQ(doc.Find("S", "b"), std::nullopt) << style;
    EXPECT_EQ(doc.Find("c", "c"), std::nullopt) << style;
  }
}

TEST(IniDocumentRead, AnyBytesParseWithoutHarm) {
  ExpectReads({
      {"NUL bytes in other lines", "\0\0\r\n[S]\r\nk=v\r\n\0x=\0\r\n"s, "S", "k", "v"},
      {"NUL inside a value is kept by the document", "[S]\r\nk=a\0b\r\n"s, "S", "k", "a\0b"s},
      {"a lead byte takes a following ']' as its trail byte", "[\xA5]\r\nk=v\r\n", "\xA5]", "k",
       "v"},
      {"lone lead byte at the end of the file", "[S]\r\nk=\xA5", "S", "k", "\xA5"},
      {"header without ']' runs to the line's end", "[S\r\nk=v\r\n", "S", "k", "v"},
      {"control bytes are not blanks", "[S]\r\nk=\x01v\x01\r\n", "S", "k", "\x01v\x01"},
  });
}

TEST(ParseProfileInt, ReadsLikeTheSystem) {
  const std::vector<std::pair<std::string, int>> rows = {
      {"", 0},           {"0", 0},
      {"42", 42},        {"  42", 42},
      {"\t42", 42},      {"+7", 7},
      {"-7", -7},        {"007", 7},
      {"12abc", 12},     {"1 2", 1},
      {"abc", 0},        {"-", 0},
      {"+-1", 0},        {"- 1", 0},
      {"\xA4\x40", 0},  {"\x01\x1F 5", 5},
      {"2147483647", 2147483647},
      {"2147483648", -2147483647 - 1},
      {"-2147483648", -2147483647 - 1},
      {"4294967295", -1},
      {"4294967296", 0},
      {"4294967297", 1},
      {"99999999999", 1215752191},
      {"-4294967295", 1},
      {"0x10", 16},      {"0x1F", 31},
      {"0x1f", 31},      {"-0x10", -16},
      {"0xFFFFFFFF", -1},
      {"0o17", 15},      {"0b101", 5},
      {"0X10", 0},       {"00x10", 0},
      {"0x", 0},         {"0xg", 0},
      {"0b2", 0},        {"0o8", 0},
      {"0x-1", 0},       {" +0x1a!", 26},
      {"0", 0},          {"09", 9},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(ParseProfileInt(text), expected) << text;
}

struct WriteRow {
  const char* what;
  std::string before;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

void ExpectWrites(const std::vector<WriteRow>& rows) {
  for (const WriteRow& row : rows) {
    const IniDocument doc(row.before);
    const std::string written = doc.WithValue(row.section, row.key, row.value);
    EXPECT_EQ(written, row.after) << row.what;
    if (IniDocument::IsWritableName(row.section, row.key)) {
      EXPECT_EQ(IniDocument(written).Find(row.section, row.key), IniDocument::StoredForm(row.value))
          << row.what << ": the written value reads back";
    }
  }
}

TEST(IniDocumentWrite, ReplacesValuesInPlace) {
  ExpectWrites({
      {"CRLF file", "[S]\r\na=1\r\nb=2\r\n", "S", "b", "3", "[S]\r\na=1\r\nb=3\r\n"},
      {"LF file", "[S]\na=1\nb=2\n", "S", "a", "xyz", "[S]\na=xyz\nb=2\n"},
      {"CR file", "[S]\ra=1\rb=2\r", "S", "a", "9", "[S]\ra=9\rb=2\r"},
      {"no final line break", "[S]\r\na=1", "S", "a", "22", "[S]\r\na=22"},
      {"key's own line break kept in a mixed file", "[S]\r\na=1\nb=2\r\n", "S", "a", "5",
       "[S]\r\na=5\nb=2\r\n"},
      {"names keep their written case", "[Sec]\r\nKey=1\r\n", "SEC", "key", "2",
       "[Sec]\r\nKey=2\r\n"},
      {"blanks before '=' kept, old value's blanks and quotes go", "[S]\r\n  k = \"old\" \r\n",
       "S", "k", "new", "[S]\r\n  k =new\r\n"},
      {"empty value", "[S]\r\nk=v\r\n", "S", "k", "", "[S]\r\nk=\r\n"},
      {"comments, blank lines and other sections untouched",
       "; top\r\n\r\n[S]\r\n; about k\r\nk=1\r\n\r\n[T]\r\nk=1\r\n", "S", "k", "2",
       "; top\r\n\r\n[S]\r\n; about k\r\nk=2\r\n\r\n[T]\r\nk=1\r\n"},
      {"CP950 names and values kept byte for byte",
       "[\xA4\xA4\xA4\xE5]\r\n\xA6\x57\xBA\xD9=\xA5\x5C\xAF\xE0\r\nx=\xA5\x5C\r\n",
       "\xA4\xA4\xA4\xE5", "\xA6\x57\xBA\xD9", "\xB7\x73\xAD\xC8",
       "[\xA4\xA4\xA4\xE5]\r\n\xA6\x57\xBA\xD9=\xB7\x73\xAD\xC8\r\nx=\xA5\x5C\r\n"},
      {"first of duplicate keys", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "3", "[S]\r\nk=3\r\nk=2\r\n"},
      {"first of duplicate sections", "[S]\r\nk=1\r\n[s]\r\nk=2\r\n", "s", "k", "3",
       "[S]\r\nk=3\r\n[s]\r\nk=2\r\n"},
      {"NUL bytes elsewhere kept", "\0\r\n[S]\r\nk=1\r\n\0\0\r\nx=\0"s, "S", "k", "2",
       "\0\r\n[S]\r\nk=2\r\n\0\0\r\nx=\0"s},
  });
}

TEST(IniDocumentWrite, AddsKeysAfterTheSectionsLastKey) {
  ExpectWrites({
      {"CRLF file", "[S]\r\na=1\r\n[T]\r\nb=2\r\n", "S", "n", "v",
       "[S]\r\na=1\r\nn=v\r\n[T]\r\nb=2\r\n"},
      {"LF file", "[S]\na=1\n\n[T]\nb=2\n", "S", "n", "v", "[S]\na=1\nn=v\n\n[T]\nb=2\n"},
      {"CR file", "[S]\ra=1\r", "S", "n", "v", "[S]\ra=1\rn=v\r"},
      {"before trailing blank lines and comments",
       "[S]\r\na=1\r\n; inner\r\nb=2\r\n\r\n; about T\r\n[T]\r\n", "S", "n", "v",
       "[S]\r\na=1\r\n; inner\r\nb=2\r\nn=v\r\n\r\n; about T\r\n[T]\r\n"},
      {"section with only its header", "[S]\r\n[T]\r\n", "S", "n", "v", "[S]\r\nn=v\r\n[T]\r\n"},
      {"header is the unended last line", "[S]", "S", "n", "v", "[S]\r\nn=v\r\n"},
      {"last key line unended", "[S]\r\na=1", "S", "n", "v", "[S]\r\na=1\r\nn=v\r\n"},
      {"LF file, last line unended", "x=0\n[S]\na=1", "S", "n", "v", "x=0\n[S]\na=1\nn=v\n"},
      {"into the first of duplicate sections", "[S]\r\na=1\r\n[S]\r\nn=old\r\n", "S", "n", "v",
       "[S]\r\na=1\r\nn=v\r\n[S]\r\nn=old\r\n"},
      {"CP950 key", "[S]\r\na=1\r\n", "S", "\xA5\x41", "\xA5\x61",
       "[S]\r\na=1\r\n\xA5\x41=\xA5\x61\r\n"},
      {"key with trail 'a' is not the key with trail 'A'", "[S]\r\n\xA5\x41=1\r\n", "S",
       "\xA5\x61", "2", "[S]\r\n\xA5\x41=1\r\n\xA5\x61=2\r\n"},
      {"names are written trimmed", "[S]\r\n", " S ", "\tn ", "v", "[S]\r\nn=v\r\n"},
      {"CR break before an LF line keeps that line", "[S]\ra=1\r\n\n[T]\r", "S", "n", "v",
       "[S]\ra=1\r\nn=v\r\n\n[T]\r"},
  });
}

TEST(IniDocumentWrite, AddsSectionsAtTheEnd) {
  ExpectWrites({
      {"empty file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"CRLF file", "[A]\r\na=1\r\n", "S", "k", "v", "[A]\r\na=1\r\n[S]\r\nk=v\r\n"},
      {"LF file", "[A]\na=1\n", "S", "k", "v", "[A]\na=1\n[S]\nk=v\n"},
      {"CR file", "[A]\ra=1\r", "S", "k", "v", "[A]\ra=1\r[S]\rk=v\r"},
      {"no final line break", "[A]\r\na=1", "S", "k", "v", "[A]\r\na=1\r\n[S]\r\nk=v\r\n"},
      {"only a comment", "; c\n", "S", "k", "v", "; c\n[S]\nk=v\n"},
      {"only an unended comment", "; c", "S", "k", "v", "; c\r\n[S]\r\nk=v\r\n"},
      {"keys before any section do not count", "k=1\r\n", "S", "k", "v",
       "k=1\r\n[S]\r\nk=v\r\n"},
      {"trailing blank lines kept", "[A]\r\n\r\n\r\n", "S", "k", "v",
       "[A]\r\n\r\n\r\n[S]\r\nk=v\r\n"},
      {"CP950 section", "[A]\r\n", "\xA5\x5D", "k", "v", "[A]\r\n[\xA5\x5D]\r\nk=v\r\n"},
  });
}

TEST(IniDocumentWrite, LineBreaksInValuesNeverAddLines) {
  ExpectWrites({
      {"CRLF cut", "[S]\r\nk=1\r\n", "S", "k", "x\r\n[Evil]\r\nk=1", "[S]\r\nk=x\r\n"},
      {"LF cut", "[S]\r\nk=1\r\n", "S", "k", "x\ny", "[S]\r\nk=x\r\n"},
      {"CR cut", "[S]\r\n", "S", "n", "x\ry", "[S]\r\nn=x\r\n"},
      {"NUL cut", "", "S", "k", "x\0y"s, "[S]\r\nk=x\r\n"},
      {"value starting with a break becomes empty", "[S]\r\nk=1\r\n", "S", "k", "\n[T]",
       "[S]\r\nk=\r\n"},
  });
}

TEST(IniDocumentWrite, RefusesNamesThatWouldNotReadBack) {
  const std::string file = "[S]\r\nk=1\r\n";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"S", ""},        {"", "k"},          {"  ", "k"},        {"S", "a=b"},
      {"S", ";k"},      {"S", "[k"},        {"S", "k\r\nx"},    {"S\nT", "k"},
      {"x]y", "k"},     {"\xA5", "k"},      {"S", "k\0"s},      {"S\0"s, "k"},
  };
  for (const auto& [section, key] : refused) {
    EXPECT_FALSE(IniDocument::IsWritableName(section, key)) << section << "/" << key;
    EXPECT_EQ(IniDocument(file).WithValue(section, key, "v"), file) << section << "/" << key;
  }
  const std::vector<std::pair<std::string, std::string>> accepted = {
      {"S", "k;x"}, {"S", "k]"}, {"[S", "k"}, {"\xA5\x5D", "k"}, {"S", "\xA5\x5B"}, {"S", "#k"},
  };
  for (const auto& [section, key] : accepted)
    EXPECT_TRUE(IniDocument::IsWritableName(section, key)) << section << "/" << key;
}

TEST(IniDocumentWrite, StoredValuesReadBackInTheirStoredForm) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"plain", "plain"},       {"  padded  ", "padded"},  {"\"quoted\"", "quoted"},
      {"'q'", "q"},             {"a\r\nb", "a"},           {"", ""},
      {"\xA5\x5C", "\xA5\x5C"}, {" \" in \" ", " in "},
  };
  for (const auto& [value, stored] : rows) {
    EXPECT_EQ(IniDocument::StoredForm(value), stored) << value;
    const IniDocument doc(IniDocument("[S]\r\nk=old\r\n").WithValue("S", "k", value));
    EXPECT_EQ(doc.Find("S", "k"), stored) << value;
  }
}

}  // namespace
}  // namespace rk
