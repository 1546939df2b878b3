#include "runs/result_export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace rk {
namespace {

using Strings = std::vector<std::string>;

// Copied lines are joined by CR LF without a trailing break; the saved file has one BOM (a line
// that already has one does not double it) and CR LF after every line.
TEST(ResultExport, CopiedLinesJoinedByCrLfSavedFileUtf8WithOneBom) {
  const std::tuple<Strings, std::string> rows[] = {
      {Strings{}, ""},
      {{"one"}, "one"},
      {{"a", "", "c"}, "a\r\n\r\nc"},  // an empty line stays a line
  };
  for (const auto& [lines, joined] : rows) EXPECT_EQ(JoinLinesCrLf(lines), joined);
  EXPECT_EQ(ReportFileText(Strings{"a", "\xE7\x9B\xAE"}), std::string(kUtf8Bom) + "a\r\n\xE7\x9B\xAE\r\n");
  EXPECT_EQ(ReportFileText(Strings{std::string(kUtf8Bom) + "a"}), std::string(kUtf8Bom) + "a\r\n");
}

}  // namespace
}  // namespace rk
