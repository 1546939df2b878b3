#include "base/codepage.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace rk {
namespace {

// The POSIX conversion splits text into ASCII and two-byte runs and remembers the last run: a
// trail byte in the ASCII range (功 is A5 5C) stays with its lead byte, and a run never leaks on.
TEST(Codepage, Cp950ToUtf8KeepsTwoByteCharactersWhole) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain 127.0.0.1:8000", "plain 127.0.0.1:8000"},
      {"\xA5\x5C\\x", "\xE5\x8A\x9F\\x"},                        // 功 then a real backslash
      {"\xA5\xE6\xA9\xF6-1", "\xE4\xBA\xA4\xE6\x98\x93-1"},      // 交易-1
      {"\xA5\xE6\xA9\xF6-2", "\xE4\xBA\xA4\xE6\x98\x93-2"},      // the same run again
      {"\xA5\x44\xBE\xF7-3", "\xE4\xB8\xBB\xE6\xA9\x9F-3"},      // 主機: another run, same length
      {"\xA5\x5C-4", "\xE5\x8A\x9F-4"},                          // a shorter run after it
      {"end\xA5", "end\xEF\xBF\xBD"},                            // a lead byte cut off
  };
  for (const auto& [cp950, utf8] : cases) EXPECT_EQ(Cp950ToUtf8(cp950), utf8) << cp950;
}

}  // namespace
}  // namespace rk
