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

TEST(CheckAllLines, OneChineseLinePerEndpointWithAddressPortVerdictAndTime) {
  const std::string label = Utf8ToCp950("交易主機-1 : a.invalid:7001");
  const std::tuple<EndpointResult, const char*> rows[] = {
      {Endpoint(label, "127.0.0.1", Ip(127, 0, 0, 1), 7001, Verdict::Open, 0.34),
       "交易主機-1 : a.invalid:7001  127.0.0.1:7001  可連線  0.3毫秒"},
      {Endpoint("Q", "q.invalid", Ip(192, 0, 2, 1), 443, Verdict::Refused, 12.0),
       "Q  192.0.2.1:443  連線被拒  12.0毫秒"},  // the address looked up, not the name
      {Endpoint("Q", "q.invalid", std::nullopt, 443, Verdict::Unresolved, 5.26),
       "Q  q.invalid:443  無法解析主機名稱  5.3毫秒"},  // no address: the name as configured
      {Endpoint("T", "10.0.0.1", Ip(10, 0, 0, 1), 80, Verdict::Timeout, 10000.0),
       "T  10.0.0.1:80  連線逾時  10000.0毫秒"},
      {Endpoint("U", "10.0.0.2", Ip(10, 0, 0, 2), 80, Verdict::Unreachable, 3.0),
       "U  10.0.0.2:80  網路無法到達  3.0毫秒"},
      {Endpoint("E", "10.0.0.3", Ip(10, 0, 0, 3), 70000, Verdict::Error, 0.0),
       "E  10.0.0.3:70000  錯誤  0.0毫秒"},
      {Endpoint("N", "10.0.0.4", Ip(10, 0, 0, 4), 0, Verdict::NoPort, 0.0),
       "N  10.0.0.4  沒有設定Port"},  // neither a port nor a time
  };
  for (const auto& [endpoint, utf8] : rows) EXPECT_EQ(Cp950ToUtf8(EndpointLine(endpoint)), utf8);
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
