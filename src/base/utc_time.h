#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace rk {

// ISO 8601 in UTC, the one time stamp of every report and JSON document:
// "2026-12-06T17:00:00Z" for a count of seconds since 1970 (file times, the
// report's time), "2026-12-06T16:50:00.123Z" with milliseconds for a clock
// reading (the start of a check). Any date of the proleptic Gregorian
// calendar; no platform time function (with its own range or locking) is used.
[[nodiscard]] std::string IsoUtc(int64_t unixSeconds);
[[nodiscard]] std::string IsoUtc(std::chrono::system_clock::time_point when);

}  // namespace rk
