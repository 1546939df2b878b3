#include "app/version_text.h"

#include <gtest/gtest.h>

TEST(VersionForTitle, BlanksRemovedThenCutBeforeTheLastDot) {
  const char* rows[][2] = {{"4.0.1.0", "4.0.1"}, {" 4 . 0 . 1 . 0 ", "4.0.1"}, {".", ""},
                           {"1, 0, 0, 1", "1,0,0,1"}, {"", ""}, {"4.0.1.0.", "4.0.1.0"},
                           {"\xAA\xA9\xA5\xBB 2.1", "\xAA\xA9\xA5\xBB" "2"}};  // CP950 bytes kept
  for (const auto& row : rows) EXPECT_EQ(rk::VersionForTitle(row[0]), row[1]) << row[0];
}
