#include "app/version_text.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

TEST(VersionForTitle, BlanksRemovedThenCutBeforeLastDot) {
  struct Row {
    const char* fileVersion;
    const char* expected;
  };
  const Row rows[] = {
      {"4.0.1.0", "4.0.1"},
      {"1, 0, 0, 1", "1,0,0,1"},   // no dot: stays whole, without blanks
      {" 4 . 0 . 1 . 0 ", "4.0.1"},
      {"4", "4"},
      {"", ""},
      {".", ""},
      {"4.0.1.0.", "4.0.1.0"},     // only the last piece goes
      {"10.20", "10"},
      {"\xAA\xA9\xA5\xBB 2.1", "\xAA\xA9\xA5\xBB" "2"},  // code page bytes pass through
  };
  for (const Row& row : rows) {
    EXPECT_EQ(VersionForTitle(row.fileVersion), row.expected) << '"' << row.fileVersion << '"';
  }
}

}  // namespace
}  // namespace rk
