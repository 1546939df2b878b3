#include "runs/result_export.h"

#include "base/format.h"

namespace rk {

std::string JoinLinesCrLf(std::span<const std::string> lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

std::string ReportFileName(const LocalDateTime& when) {
  return Format("Reachkit-report-%04d%02d%02d-%02d%02d%02d.txt", when.year, when.month, when.day,
                when.hour, when.minute, when.second);
}

std::string WithUtf8Bom(std::string_view utf8) {
  if (utf8.starts_with(kUtf8Bom)) utf8.remove_prefix(kUtf8Bom.size());
  std::string text(kUtf8Bom);
  text += utf8;
  return text;
}

bool RetryWithin(const std::function<bool()>& attempt, uint32_t budgetMs, uint32_t stepMs,
                 const std::function<void(uint32_t)>& pause) {
  const uint32_t pauses = stepMs == 0 ? 0 : budgetMs / stepMs;
  for (uint32_t i = 0;; ++i) {
    if (attempt()) return true;
    if (i >= pauses) return false;
    pause(stepMs);
  }
}

std::string ReportFileText(std::span<const std::string> utf8Lines) {
  return WithUtf8Bom(JoinLinesCrLf(utf8Lines) + "\r\n");
}

}  // namespace rk
