#include "diagnostics/result_export.h"

#include <cstdlib>

#include "base/codepage.h"
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

namespace {

std::string OffsetText(int minutes) {
  const int magnitude = std::abs(minutes);
  return Format("UTC%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

}  // namespace

std::string WindowReportText(const WindowReportInput& input) {
  const LocalDateTime& t = input.when;
  std::string text = "Reachkit support report\r\n";
  text += Format("Time: %04d-%02d-%02d %02d:%02d:%02d (%s)\r\n", t.year, t.month, t.day, t.hour,
                 t.minute, t.second, OffsetText(t.utcOffsetMinutes).c_str());
  text += "Program: " + Cp950ToUtf8(input.program) + "\r\n";
  text += "Client root: " + Cp950ToUtf8(input.clientRoot) + "\r\n";

  const HostCatalogue& catalogue = input.catalogue;
  text += Format("Endpoints (%zu hosts):\r\n", catalogue.size());
  for (size_t i = 0; i < catalogue.size(); ++i) {
    const HostEntry entry = catalogue.Entry(i);
    const std::string head =
        Format("  %zu. %s  ", i + 1, Cp950ToUtf8(entry.label).c_str()) + Cp950ToUtf8(entry.host);
    if (entry.group == HostGroup::LocalSection) {
      text += head + (entry.port != 0 ? Format(":%d", entry.port) : std::string(" (no port)"));
      text += "\r\n";
      continue;
    }
    if (catalogue.nmPorts.empty()) text += head + " (no port)\r\n";
    for (int32_t port : catalogue.nmPorts) text += head + Format(":%d\r\n", port);
  }

  text += Format("Result list (%zu lines):\r\n", input.resultLines.size());
  for (const std::string& line : input.resultLines) text += "  " + Cp950ToUtf8(line) + "\r\n";
  return text;
}

}  // namespace rk
