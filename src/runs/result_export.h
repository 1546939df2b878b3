#pragma once
// What the result list hands on: its lines as one clipboard text, the default
// name of a saved report, the report's bytes, and the bounded wait for a
// clipboard that another program holds.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>


namespace rk {

// The lines joined by CR LF, as the clipboard and Notepad expect; no break
// after the last line, so one line copies as exactly that line.
[[nodiscard]] std::string JoinLinesCrLf(std::span<const std::string> lines);

// A local date and time, broken down (month 1..12).
struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int utcOffsetMinutes = 0;  // east of UTC positive
};

// "Reachkit-report-YYYYMMDD-HHMMSS.txt": sorts by time, no characters a file
// name may not hold.
[[nodiscard]] std::string ReportFileName(const LocalDateTime& when);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// The text with a UTF-8 byte-order mark in front (one, even when the text
// already starts with one), so that Notepad takes the file as UTF-8.
[[nodiscard]] std::string WithUtf8Bom(std::string_view utf8);

// Calls `attempt` until it succeeds, at most budgetMs / stepMs + 1 times,
// calling `pause(stepMs)` between attempts: bounded in count and, for an
// attempt that returns at once, in time. Returns whether an attempt succeeded.
[[nodiscard]] bool RetryWithin(const std::function<bool()>& attempt, uint32_t budgetMs,
                               uint32_t stepMs, const std::function<void(uint32_t)>& pause);

// The saved report's file: the lines of the support report
// (support_report.h, UTF-8) joined by CR LF, with a UTF-8 byte-order mark in
// front so that Notepad shows the Chinese.
[[nodiscard]] std::string ReportFileText(std::span<const std::string> utf8Lines);

}  // namespace rk
