#include "dialogs/dialog_init_data.h"

#include <gtest/gtest.h>

#include <string>

namespace rk {
namespace {

using namespace std::string_literals;

// As windres lays out "1015, 0x403, 5L, "NONE\000", ...": records are not
// padded, so the second one starts on an odd offset.
const std::string kTwoEntries =
    "\xF7\x03\x03\x04\x05\x00\x00\x00NONE\0"s
    "\xF7\x03\x03\x04\x0D\x00\x00\x00HTTP11_PROXY\0"s
    "\x00\x00"s;

TEST(DialogInitData, ReadsUnpaddedRecordsUpToTheEndMark) {
  const auto items = ParseDialogInitData(kTwoEntries);
  ASSERT_TRUE(items.has_value());
  const std::vector<DialogInitItem> expected = {{1015, kDialogInitCbAddString, "NONE"},
                                                {1015, kDialogInitCbAddString, "HTTP11_PROXY"}};
  EXPECT_EQ(*items, expected);
  EXPECT_EQ(ParseDialogInitData("\0\0"s), std::vector<DialogInitItem>{});
  // Bytes after the end mark (resource padding) are not looked at.
  EXPECT_EQ(ParseDialogInitData(kTwoEntries + "\xCC\xCC"s)->size(), 2u);
}

TEST(DialogInitData, RefusesDamagedData) {
  const struct {
    const char* why;
    std::string bytes;
  } rows[] = {
      {"empty", ""},
      {"no end mark", kTwoEntries.substr(0, kTwoEntries.size() - 2)},
      {"half an end mark", kTwoEntries.substr(0, kTwoEntries.size() - 1)},
      {"length past the end", "\xF7\x03\x03\x04\xFF\x00\x00\x00NONE\0\0\0"s},
      {"huge length", "\xF7\x03\x03\x04\xFF\xFF\xFF\xFFNONE\0\0\0"s},
      {"header cut short", "\xF7\x03\x03\x04\x05\x00"s},
  };
  for (const auto& row : rows) EXPECT_EQ(ParseDialogInitData(row.bytes), std::nullopt) << row.why;
}

TEST(DialogInitData, TextEndsAtItsFirstNulAndBig5BytesPassThrough) {
  const auto items = ParseDialogInitData("\xF7\x03\x03\x04\x06\x00\x00\x00\xA5\x78\0xy\0\0\0"s);
  ASSERT_TRUE(items.has_value());
  ASSERT_EQ(items->size(), 1u);
  EXPECT_EQ((*items)[0].text, "\xA5\x78");
}

}  // namespace
}  // namespace rk
