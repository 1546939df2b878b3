// The reference for the system's code page 950 texts is the platform's UTF-8 -> Big5 conversion.
#include <gtest/gtest.h>

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
      {kAppCaption, "網路工具箱"}, {kAboutCaption, "關於 Reachkit"}, {kTradingHost, "交易主機"},
      {kAboutMenuItem, "關於 Reachkit(&A)..."}, {kSocketsInitFailed, "Windows sockets 啟始失敗。"},
      {kPreferenceGroupTitle, "連線位置"}, {kSettingsGroupTitle, "設定"}, {kQuoteHost, "報價主機"},
      {kNetworkGroupTitle, "網路位址"}, {kAboutFontName, "新細明體"}, {kTargetReached, "目標到達"},
      {kLocalEntryLabelFormat, "交易主機-%d : %s:%d"}, {kIdeographicSpace, "　"},
      {kPreferenceLabelFormat, "成功連線：%s　　優先連線：%s"},
      {kTraceHopFormat, "第%d個路由器，IP地址：%s用時：%d毫秒"},
      {kTraceTimeoutFormat, "第%d個路由器，要求等候逾時 Err=%d"},
      {kConnectSucceededFormat, "連線成功，%s：%d"}, {kConnectFailedFormat, "連線失敗，%s：%d"},
      {kConnectSettingPrompt, "設定優先連線的位置與Port"}, {kNoLocationChosen, "沒有選擇連線位置"},
      {kPortMustBePositive, "Port必須是正整數"}, {kEnterUserId, "請輸入UserID"},
      {kEnterUserPassword, "請輸入UserPassword"}, {kEnterProxyHost, "請輸入ProxyHost"},
      {kEnterProxyPort, "請輸入ProxyPort"}};
  for (const auto& [stored, utf8] : rows) EXPECT_EQ(std::string(stored), Utf8ToCp950(utf8)) << utf8;
}

TEST(SafeFormat, FormatsAnyLength) {
  const std::string longHost(5000, 'h');
  EXPECT_EQ(Format("Ping %s [%s]", longHost.c_str(), "192.0.2.1"),
            "Ping " + longHost + " [192.0.2.1]");
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
