// The system's texts must reach the screen as exactly these code page 950
// bytes; the reference is the platform's own UTF-8 -> Big5 conversion.
#include <gtest/gtest.h>

#include <string>

#include "base/codepage.h"
#include "base/dbcs.h"
#include "base/format.h"
#include "base/texts.h"

namespace rk {
namespace {

struct TextRow {
  const char* stored;
  const char* utf8;
};

TEST(SystemTexts, StoredBytesAreTheBig5FormOfTheChineseText) {
  const TextRow rows[] = {
      {text::kAppCaption, "網路工具箱"},
      {text::kAboutMenuItem, "關於 Reachkit(&A)..."},
      {text::kAboutCaption, "關於 Reachkit"},
      {text::kSocketsInitFailed, "Windows sockets 啟始失敗。"},
      {text::kPreferenceGroupTitle, "連線位置"},
      {text::kSettingsGroupTitle, "設定"},
      {text::kNetworkGroupTitle, "網路位址"},
      {text::kAboutFontName, "新細明體"},
      {text::kTradingHost, "交易主機"},
      {text::kQuoteHost, "報價主機"},
      {text::kLocalEntryLabelFormat, "交易主機-%d : %s:%d"},
      {text::kIdeographicSpace, "　"},
      {text::kPreferenceLabelFormat, "成功連線：%s　　優先連線：%s"},
      {text::kTraceHopFormat, "第%d個路由器，IP地址：%s用時：%d毫秒"},
      {text::kTraceTimeoutFormat, "第%d個路由器，要求等候逾時 Err=%d"},
      {text::kTargetReached, "目標到達"},
      {text::kConnectSucceededFormat, "連線成功，%s：%d"},
      {text::kConnectFailedFormat, "連線失敗，%s：%d"},
      {text::kConnectSettingPrompt, "設定優先連線的位置與Port"},
      {text::kNoLocationChosen, "沒有選擇連線位置"},
      {text::kPortMustBePositive, "Port必須是正整數"},
      {text::kEnterUserId, "請輸入UserID"},
      {text::kEnterUserPassword, "請輸入UserPassword"},
      {text::kEnterProxyHost, "請輸入ProxyHost"},
      {text::kEnterProxyPort, "請輸入ProxyPort"},
  };
  for (const TextRow& row : rows) {
    EXPECT_EQ(std::string(row.stored), Utf8ToCp950(row.utf8)) << row.utf8;
    EXPECT_EQ(Cp950ToUtf8(row.stored), row.utf8);
  }
  // The ideographic space is the pair A1 40 that replaces commas in the label.
  EXPECT_EQ(std::string(text::kIdeographicSpace), "\xA1\x40");
}

TEST(SafeFormat, FormatsAnyLengthWithoutCuttingCodePageText) {
  const std::string longHost(5000, 'h');
  EXPECT_EQ(Format("Ping %s [%s]", longHost.c_str(), "192.0.2.1"),
            "Ping " + longHost + " [192.0.2.1]");
  EXPECT_EQ(Format(text::kConnectFailedFormat, "127.0.0.1", 70000),
            Utf8ToCp950("連線失敗，127.0.0.1：70000"));
  EXPECT_EQ(Format(text::kTraceTimeoutFormat, 3, 11010),
            Utf8ToCp950("第3個路由器，要求等候逾時 Err=11010"));
  EXPECT_EQ(Format("%s", ""), "");
  EXPECT_EQ(Format("%d-%d", -1, 2147483647), "-1-2147483647");
}

struct LastCharRow {
  const char* text;
  std::size_t expected;
};

TEST(DoubleByteText, LastBackslashIsNeverATrailByte) {
  // 功 is A5 5C: its trail byte is the backslash.
  const LastCharRow rows[] = {
      {"C:\\\xA6\xA8\xA5\x5C", 2},       // C:\成功
      {"\xA6\xA8\xA5\x5C", std::string::npos},
      {"\xA5\x5C\\", 2},                  // 功 then a real backslash
      {"a\\b\\c", 3},
      {"\\", 0},
      {"", std::string::npos},
      {"\xA5", std::string::npos},        // a lone lead byte at the end
  };
  for (const LastCharRow& row : rows)
    EXPECT_EQ(FindLastChar(row.text, '\\', IsCp950LeadByte), row.expected) << row.text;
  // Without a lead-byte rule the trail byte counts, as in a single-byte code page.
  EXPECT_EQ(FindLastChar("\xA6\xA8\xA5\x5C", '\\', NoLeadByte), 3u);
}

TEST(DoubleByteText, CaseFoldingLeavesTrailBytesAlone) {
  // A4 41 and A4 61 are two different characters whose trail bytes are 'A' and 'a'.
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xA4\x41", "\xA4\x61", IsCp950LeadByte));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("\xA4\x41Order", "\xA4\x41ORDER", IsCp950LeadByte));
  EXPECT_TRUE(EqualsIgnoreAsciiCase("Local", "LOCAL", IsCp950LeadByte));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("Local", "Locale", IsCp950LeadByte));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("[", "{", IsCp950LeadByte));  // only letters fold
}

}  // namespace
}  // namespace rk
