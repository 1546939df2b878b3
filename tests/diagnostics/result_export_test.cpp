#include "diagnostics/result_export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/codepage.h"
#include "base/texts.h"

namespace rk {
namespace {

using Strings = std::vector<std::string>;

TEST(ResultExport, LinesJoinedByCrLfWithoutATrailingBreak) {
  const std::tuple<Strings, std::string> rows[] = {
      {Strings{}, ""},
      {{"one"}, "one"},
      {{"a", "", "c"}, "a\r\n\r\nc"},  // an empty line stays a line
      {{text::kTargetReached, "x"}, std::string(text::kTargetReached) + "\r\nx"},
  };
  for (const auto& [lines, joined] : rows) EXPECT_EQ(JoinLinesCrLf(lines), joined);
}

TEST(ResultExport, ReportFileNameCarriesDateAndTimeZeroPadded) {
  const std::tuple<LocalDateTime, std::string> rows[] = {
      {{2026, 12, 6, 16, 13, 0, 480}, "Reachkit-report-20261206-161300.txt"},
      {{2027, 1, 2, 3, 4, 5, -300}, "Reachkit-report-20270102-030405.txt"},
      {{2026, 10, 31, 23, 59, 59, 0}, "Reachkit-report-20261031-235959.txt"},
  };
  for (const auto& [when, name] : rows) EXPECT_EQ(ReportFileName(when), name);
}

TEST(ResultExport, ExactlyOneByteOrderMark) {
  const std::string bom(kUtf8Bom);
  for (const std::string& text : {std::string(), std::string("abc"), bom + "abc"})
    EXPECT_EQ(WithUtf8Bom(text), bom + (text.starts_with(bom) ? text.substr(3) : text)) << text;
}

TEST(ResultExport, RetriesAreBoundedInCountAndPause) {
  // Budget, step, the attempt that first succeeds (0: never); attempts made and result.
  const std::tuple<uint32_t, uint32_t, int, int, bool> rows[] = {
      {500, 50, 1, 1, true},    // free at once: no pause
      {500, 50, 4, 4, true},    // freed after three pauses
      {500, 50, 0, 11, false},  // held throughout: 10 pauses of 50 ms, then give up
      {40, 50, 0, 1, false},    // a budget below one step: one attempt only
      {500, 0, 0, 1, false},    // a zero step never spins
  };
  for (const auto& [budget, step, freeAt, attempts, result] : rows) {
    int made = 0;
    uint32_t paused = 0;
    const bool ok = RetryWithin([&, freeAt = freeAt] { return ++made == freeAt; }, budget, step,
                                [&](uint32_t ms) { paused += ms; });
    EXPECT_EQ(ok, result);
    EXPECT_EQ(made, attempts);
    EXPECT_LE(paused, budget);
    EXPECT_EQ(paused, uint32_t(attempts - 1) * step);
  }
}

TEST(ResultExport, ReportNamesRootEveryEndpointAndTheLinesInUtf8) {
  // Two server entries on two shared ports, a Local entry with a port and one without.
  const HostCatalogue catalogue{{"127.0.0.1", "quote.invalid", "127.0.0.2", "127.0.0.3"},
                                {std::string(text::kTradingHost) + "-A : 127.0.0.1", "Q", "L1", "L2"},
                                {7001, 7002},
                                {7003, 0},
                                2};
  const Strings lines = {text::kTargetReached, "Telnet 127.0.0.1 [127.0.0.1]"};
  const std::string report = WindowReportText(
      {{2026, 12, 6, 9, 5, 7, -90}, "Reachkit v4.0.1", "C:\\Client\\\xA5\\", catalogue, lines});
  const Strings expected = {
      "Time: 2026-12-06 09:05:07 (UTC-01:30)\r\n",
      "Program: Reachkit v4.0.1\r\n",
      "Client root: C:\\Client\\\xE5\x8A\x9F\r\n",  // 功: its trail byte is a backslash
      "  1. \xE4\xBA\xA4\xE6\x98\x93\xE4\xB8\xBB\xE6\xA9\x9F-A : 127.0.0.1  127.0.0.1:7001\r\n",
      "  1. \xE4\xBA\xA4\xE6\x98\x93\xE4\xB8\xBB\xE6\xA9\x9F-A : 127.0.0.1  127.0.0.1:7002\r\n",
      "  2. Q  quote.invalid:7001\r\n",
      "  2. Q  quote.invalid:7002\r\n",
      "  3. L1  127.0.0.2:7003\r\n",
      "  4. L2  127.0.0.3 (no port)\r\n",
      "Result list (2 lines):\r\n  \xE7\x9B\xAE\xE6\xA8\x99\xE5\x88\xB0\xE9\x81\x94\r\n"
      "  Telnet 127.0.0.1 [127.0.0.1]\r\n",
  };
  size_t from = 0;
  for (const std::string& piece : expected) {  // in this order
    const size_t at = report.find(piece, from);
    ASSERT_NE(at, std::string::npos) << piece << "\nin\n" << report;
    from = at + piece.size();
  }
  EXPECT_EQ(report.find('\n'), report.find("\r\n") + 1);  // CR LF throughout
  EXPECT_FALSE(report.starts_with(kUtf8Bom));
}

TEST(ResultExport, MenuAndMessageTextsAreTheirBig5Forms) {
  using namespace text;
  const std::pair<const char*, const char*> rows[] = {
      {kCopyLineItem, "複製(&C)"}, {kCopyAllItem, "全部複製(&A)"},
      {kSaveReportItem, "儲存報告(&S)..."}, {kClipboardBusy, "剪貼簿正被其他程式使用，請稍後再試。"},
      {kSaveFailedFormat, "無法寫入檔案：%s"}, {kTextFilesFilter, "文字檔 (*.txt)"},
      {kAllFilesFilter, "所有檔案 (*.*)"}};
  for (const auto& [stored, utf8] : rows) EXPECT_EQ(std::string(stored), Utf8ToCp950(utf8)) << utf8;
}

}  // namespace
}  // namespace rk
