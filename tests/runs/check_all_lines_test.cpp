#include "runs/check_all_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/codepage.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Ip;
using Strings = std::vector<std::string>;

EndpointResult Endpoint(std::string label, std::string host, std::optional<uint32_t> address,
                        int32_t port, Verdict verdict, double ms, std::string cause = {}) {
  EndpointResult e;
  e.label = std::move(label), e.host = std::move(host), e.address = address, e.port = port;
  e.verdict = verdict, e.ms = ms, e.cause = std::move(cause);
  return e;
}

TEST(CheckAllLines, CausesNamedOnceEachThenTheSummaryLast) {
  CheckReport report;
  report.endpoints = {
      Endpoint("A", "127.0.0.1", Ip(127, 0, 0, 1), 1, Verdict::Open, 1),
      Endpoint("A", "127.0.0.1", Ip(127, 0, 0, 1), 2, Verdict::Refused, 1, "nothing listens"),
      Endpoint("B", "127.0.0.1", Ip(127, 0, 0, 1), 2, Verdict::Refused, 1, "nothing listens"),
      Endpoint("C", "c.invalid", std::nullopt, 3, Verdict::Unresolved, 1, "no such name"),
  };
  report.counts = {1, 2, 0, 0, 1, 0, 0};
  EXPECT_EQ(ClosingLines(report),
            (Strings{Utf8ToCp950("127.0.0.1:2  原因：nothing listens"),
                     Utf8ToCp950("c.invalid:3  原因：no such name"),
                     Utf8ToCp950("檢查完成，共4個端點：可連線1個，連線被拒2個，無法解析主機名稱1個")}));
  report = {};  // nothing open: "open" is still counted, at 0
  report.endpoints = {Endpoint("N", "10.0.0.4", Ip(10, 0, 0, 4), 0, Verdict::NoPort, 0)};
  report.counts = {0, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(ClosingLines(report),
            Strings{Utf8ToCp950("檢查完成，共1個端點：可連線0個，沒有設定Port1個")});
}

}  // namespace
}  // namespace rk
