// Texts the end-to-end tests never show (the lines, labels and messages they compare are theirs),
// against the platform's UTF-8 -> Big5 conversion.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/codepage.h"
#include "base/dbcs.h"
#include "base/format.h"
#include "base/texts.h"

namespace rk {
namespace {

TEST(SystemTexts, StoredBytesAreTheBig5FormOfTheChineseText) {
  using namespace text;
  const std::pair<const char*, const char*> rows[] = {
      {kAppCaption, "網路工具箱"}, {kAboutCaption, "關於 Reachkit"}, {kAboutMenuItem, "關於 Reachkit(&A)..."},
      {kSocketsInitFailed, "Windows sockets 啟始失敗。"}, {kPreferenceGroupTitle, "連線位置"},
      {kSettingsGroupTitle, "設定"}, {kNetworkGroupTitle, "網路位址"}, {kAboutFontName, "新細明體"},
      {kConnectSettingPrompt, "設定優先連線的位置與Port"}, {kEnterUserId, "請輸入UserID"}};
  for (const auto& [stored, utf8] : rows) EXPECT_EQ(std::string(stored), Utf8ToCp950(utf8)) << utf8;
}

TEST(SafeFormat, GivesWhatTheCLibraryGivesForEveryConversionAtAnyLength) {
  const std::string longHost(5000, 'h');
  EXPECT_EQ(Format("Ping %s [%s]", longHost.c_str(), "192.0.2.1"), "Ping " + longHost + " [192.0.2.1]");
  // The plain %s/%d expansion and the C library must agree, and whatever the plain one cannot
  // take (widths, other conversions, a null text) must still come out as the library writes it.
  char expected[128];
  const auto same = [&](const std::string& got) { EXPECT_EQ(got, std::string(expected)); };
  std::snprintf(expected, sizeof expected, "%d:%d:%d %s%%", INT32_MIN, -7, 0, "\xA5\xE6-x");
  same(Format("%d:%d:%d %s%%", INT32_MIN, -7, 0, "\xA5\xE6-x"));
  std::snprintf(expected, sizeof expected, "[%5d|%-3s|%u|%.1f]", 42, "a", 7u, 2.25);
  same(Format("[%5d|%-3s|%u|%.1f]", 42, "a", 7u, 2.25));
  const char* none = std::getenv("RK_TEST_NEVER_SET");  // null, unseen by the compiler
  std::snprintf(expected, sizeof expected, "%s:%d", none, 1);
  same(Format("%s:%d", none, 1));
  std::snprintf(expected, sizeof expected, "%d%%%s tail", 5, "x");
  same(Format("%d%%%s tail", 5, "x"));
}

TEST(DoubleByteText, TrailBytesAreNeitherBackslashesNorLetters) {
  // 功 is A5 5C: its trail byte is the backslash.
  const std::pair<const char*, std::size_t> rows[] = {
      {"C:\\\xA6\xA8\xA5\x5C", 2}, {"\xA6\xA8\xA5\x5C", std::string::npos}, {"\xA5\x5C\\", 2},
      {"a\\b\\c", 3}, {"\xA5", std::string::npos}};
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(FindLastChar(text, '\\', IsCp950LeadByte), expected) << text;
  EXPECT_EQ(FindLastChar("\xA6\xA8\xA5\x5C", '\\', NoLeadByte), 3u);
  // A4 41 and A4 61 are two characters whose trail bytes are 'A' and 'a'.
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xA4\x41", "\xA4\x61", IsCp950LeadByte));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("\xA4\x41Order", "\xA4\x41ORDER", IsCp950LeadByte));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("[", "{", IsCp950LeadByte));  // only letters fold
}

}  // namespace
}  // namespace rk
