#include "runs/check_rows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/codepage.h"
#include "probes/net_address.h"

namespace rk {
namespace {

EndpointResult Pending(const char* label, const char* address, int32_t port) {
  EndpointResult e;
  e.label = label, e.host = address, e.port = port;
  return e;
}

EndpointResult Settled(EndpointResult e, Verdict verdict, double ms) {
  e.address = ParseNumericIPv4(e.host);
  e.verdict = verdict;
  e.ms = ms;
  return e;
}

std::string Utf8Cell(const CheckRows& rows, std::size_t position, CheckColumn column) {
  return Cp950ToUtf8(rows.Cell(position, column));
}

TEST(CheckRows, RowsWaitForEveryVerdictAndAStopLeavesTheRestStopped) {
  CheckRows rows;
  rows.Reset({Pending("a", "192.0.2.1", 80), Pending("b", "192.0.2.2", 0)}, true);
  EXPECT_EQ(rows.Columns().size(), 6u);
  rows.SetDirect(0, Settled(Pending("a", "192.0.2.1", 80), Verdict::Open, 1.5));
  EXPECT_EQ(rows.Finished(), 0u) << "the proxied verdict is still out";
  EXPECT_EQ(Utf8Cell(rows, 0, CheckColumn::ViaProxy), "檢查中");
  rows.SetProxied(0, ProxyResult{ProxyVerdict::ProxyUnreachable, "refused", "", 2});
  EXPECT_EQ(rows.Finished(), 1u);
  rows.MarkStopped();
  // An entry without a port is never tried through the proxy: it waits for its direct verdict only.
  EXPECT_EQ(Utf8Cell(rows, 1, CheckColumn::Direct), "已停止");
  EXPECT_EQ(Utf8Cell(rows, 1, CheckColumn::ViaProxy), "");
  EXPECT_EQ(Utf8Cell(rows, 0, CheckColumn::ViaProxy), "無法連上代理");
}

TEST(CheckRows, SortsTimesAsNumbersUnknownLastTiesInCheckOrderAndTheSameColumnReverses) {
  CheckRows rows;
  rows.Reset({Pending("p", "192.0.2.1", 1), Pending("q", "192.0.2.10", 2),
              Pending("r", "192.0.2.9", 3), Pending("s", "192.0.2.2", 4)},
             false);
  rows.SetDirect(0, Settled(Pending("p", "192.0.2.1", 1), Verdict::Refused, 10.2));
  rows.SetDirect(1, Settled(Pending("q", "192.0.2.10", 2), Verdict::Open, 9.5));
  rows.SetDirect(3, Settled(Pending("s", "192.0.2.2", 4), Verdict::Open, 9.5));
  rows.SortBy(CheckColumn::Time);
  const auto labels = [&] {
    std::string out;
    for (std::size_t p = 0; p < rows.size(); ++p) out += rows.Cell(p, CheckColumn::Host);
    return out;
  };
  EXPECT_EQ(labels(), "qspr");
  rows.SortBy(CheckColumn::Time);
  EXPECT_EQ(labels(), "rpqs");
  rows.SortBy(CheckColumn::Address);  // 192.0.2.10 after 192.0.2.2, as numbers; r not resolved yet
  EXPECT_EQ(labels(), "psqr");
  // A verdict arriving after a sort lands on its row where the row now stands.
  EXPECT_EQ(rows.SetDirect(2, Settled(Pending("r", "192.0.2.9", 3), Verdict::Open, 1)), 3u);
  EXPECT_EQ(Utf8Cell(rows, 3, CheckColumn::Time), "1.0 毫秒");
  // A new check keeps the user's order.
  rows.Reset({Pending("x", "192.0.2.5", 1), Pending("y", "192.0.2.3", 1)}, false);
  EXPECT_EQ(labels(), "yx");
}

TEST(CheckRows, CopiesAHeaderThenTheChosenRowsTabSeparated) {
  CheckRows rows;
  rows.Reset({Pending("a", "192.0.2.1", 80), Pending("b", "192.0.2.2", 81)}, false);
  rows.SetDirect(1, Settled(Pending("b", "192.0.2.2", 81), Verdict::Refused, 0.3));
  CheckReport report;
  rows.SetCauses(report);
  EXPECT_EQ(Cp950ToUtf8(rows.CopyText({1})),
            "主機\t位址:Port\t直連\t時間\t原因\r\n"
            "b\t192.0.2.2:81\t連線被拒\t0.3 毫秒\t主機有回應，但 Port 81 沒有程式在接聽\r\n");
  const std::string all = rows.CopyText({});
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3);
}

}  // namespace
}  // namespace rk
