#pragma once
// A watch log (as `watch --log` and the watch window write it) as the HTML report of the watch.
#include <ostream>
#include <string>

namespace rk {

// Reads the log at `nativeLogPath` (FILE.1 first when it exists) and writes its report, which
// names `programVersion`; false with `error` (UTF-8) when the log cannot be read or holds no
// watch.
bool WriteWatchReportHtml(const std::string& nativeLogPath, const std::string& programVersion,
                          std::ostream& out, std::string* error);

}  // namespace rk
