#include "dialogs/dialog_init_data.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace rk {
namespace {

using namespace std::string_literals;
using Items = std::vector<DialogInitItem>;

TEST(DialogInitData, ReadsUnpaddedRecordsUpToTheEndMarkAndRefusesDamagedData) {
  // As windres lays records out: not padded, so the second starts on an odd offset.
  const std::string two = "\xF7\x03\x03\x04\x05\x00\x00\x00NONE\0"s
                          "\xF7\x03\x03\x04\x0D\x00\x00\x00HTTP11_PROXY\0\0\0"s;
  const Items twoItems = {{1015, kDialogInitCbAddString, "NONE"},
                          {1015, kDialogInitCbAddString, "HTTP11_PROXY"}};
  const struct { const char* why; std::string bytes; std::optional<Items> expected; } rows[] = {
      {"two records", two, twoItems},
      {"resource padding after the end mark", two + "\xCC\xCC"s, twoItems},
      {"text ends at its first NUL, Big5 bytes kept",
       "\xF7\x03\x03\x04\x06\x00\x00\x00\xA5\x78\0xy\0\0\0"s,
       Items{{1015, kDialogInitCbAddString, "\xA5\x78"}}},
      {"empty", "", std::nullopt},
      {"no end mark", two.substr(0, two.size() - 2), std::nullopt},
      {"length past the end", "\xF7\x03\x03\x04\xFF\x00\x00\x00NONE\0\0\0"s, std::nullopt},
      {"header cut short", "\xF7\x03\x03\x04\x05\x00"s, std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(ParseDialogInitData(row.bytes), row.expected) << row.why;
}

}  // namespace
}  // namespace rk
