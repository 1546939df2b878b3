#include "runs/watch_report.h"

namespace rk {

bool WriteWatchReportHtml(const std::string& nativeLogPath, std::ostream& out, std::string* error) {
  (void)nativeLogPath;
  (void)out;
  if (error != nullptr) *error = "PLACEHOLDER until the log reader exposes its records";
  return false;
}

}  // namespace rk
