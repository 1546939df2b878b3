#include "runs/check_table.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace rk {
namespace {

// The columns stay put for a six-digit index and for labels in code page 950
// (two columns a character), a label past the widest column cut at a
// character's end; an unresolved host and a port typed as no number show as typed.
TEST(CheckTable, ColumnsHoldForLongIndexesAndChineseLabels) {
  const std::string chinese = "\xA5\xE6\xA9\xF6\xA5\x44\xBE\xF7";  // 交易主機: 8 columns
  std::string longLabel = "x";
  for (int i = 0; i < 7; ++i) longLabel += chinese;  // 57 columns: cut to 48 = "x" + 23.5 chars
  struct Case {
    std::size_t index;
    std::string label;
    std::optional<uint32_t> address;
    std::string host;
    std::string portText;
    const char* endpoint;
  };
  const std::vector<Case> cases{Case{5, chinese, testing::Ip(127, 0, 0, 1), "h", "", "127.0.0.1:80"},
                        Case{123456, longLabel, std::nullopt, "no.such.test", "", "no.such.test:80"},
                        Case{7, "", testing::Ip(127, 0, 0, 1), "h", "8o8", "127.0.0.1:8o8"}};
  CheckRun run;
  for (const Case& c : cases) {
    EndpointResult& endpoint = run.report.endpoints.emplace_back();
    endpoint.index = c.index;
    endpoint.label = c.label;
    endpoint.address = c.address;
    endpoint.host = c.host;
    endpoint.port = 80;
    endpoint.portText = c.portText;
  }
  const std::vector<std::string> lines = CheckTextLines(run);
  ASSERT_GE(lines.size(), 4u);
  const std::string& heading = lines[0];
  EXPECT_EQ(heading.find("address:port"), 7u + 48 + 1) << heading;  // index column, label cut at 48
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string& line = lines[i + 1];
    EXPECT_EQ(line.find(cases[i].endpoint), heading.find("address:port")) << line;
    EXPECT_EQ(line.find(VerdictName(run.report.endpoints[i].verdict)), heading.find("verdict")) << line;
  }
}

}  // namespace
}  // namespace rk
