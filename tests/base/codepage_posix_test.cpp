// The terminal conversion exists on POSIX only: on Windows the CLI writes the
// code page bytes as they are.
#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"

namespace rk {
namespace {

TEST(CodePageConversion, BytesThatDoNotConvertShowAsReplacementCharacters) {
  // 0xFF is no Big5 byte; a lead byte at the very end has no partner.
  EXPECT_EQ(Cp950ToUtf8("a\xFFz"), "a\xEF\xBF\xBDz");
  const std::string tail = Cp950ToUtf8("ok\xA5");
  EXPECT_EQ(tail.substr(0, 2), "ok");
  EXPECT_NE(tail.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_EQ(Cp950ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(Cp950ToUtf8(""), "");
}

}  // namespace
}  // namespace rk
