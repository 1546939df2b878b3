#include "runs/result_export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>


namespace rk {
namespace {

using Strings = std::vector<std::string>;

TEST(ResultExport, LinesJoinedByCrLfWithoutATrailingBreak) {
  const std::tuple<Strings, std::string> rows[] = {
      {Strings{}, ""},
      {{"one"}, "one"},
      {{"a", "", "c"}, "a\r\n\r\nc"},  // an empty line stays a line
  };
  for (const auto& [lines, joined] : rows) EXPECT_EQ(JoinLinesCrLf(lines), joined);
}

// The saved file: one BOM (a line that already has one does not double it), CR LF after every line.
TEST(ResultExport, SavedFileIsUtf8WithOneBomAndCrLfLines) {
  EXPECT_EQ(ReportFileText(Strings{"a", "\xE7\x9B\xAE"}), std::string(kUtf8Bom) + "a\r\n\xE7\x9B\xAE\r\n");
  EXPECT_EQ(ReportFileText(Strings{std::string(kUtf8Bom) + "a"}), std::string(kUtf8Bom) + "a\r\n");
}

}  // namespace
}  // namespace rk
