#include "runs/result_export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/codepage.h"
#include "base/texts.h"
#include "runs/support_report.h"

namespace rk {
namespace {

using Strings = std::vector<std::string>;

TEST(ResultExport, LinesJoinedByCrLfWithoutATrailingBreak) {
  const std::tuple<Strings, std::string> rows[] = {
      {Strings{}, ""},
      {{"one"}, "one"},
      {{"a", "", "c"}, "a\r\n\r\nc"},  // an empty line stays a line
      {{text::kTargetReached, "x"}, std::string(text::kTargetReached) + "\r\nx"},
  };
  for (const auto& [lines, joined] : rows) EXPECT_EQ(JoinLinesCrLf(lines), joined);
}

// The saved report is the support report with the result list's lines at its end: the
// client root, hosts, the proxy with its password masked, the last check with its proxied
// verdicts and causes, then every line of the list in UTF-8; CR LF throughout, one BOM.
TEST(ResultExport, SavedReportIsTheSupportReportWithTheListsLines) {
  ReportResult report;
  report.generatedUnix = 1'765'011'907;  // 2025-12-06T09:05:07Z
  report.localOffsetMinutes = -90;
  report.version = "4.0.1.0";
  report.clientRoot = "C:\\Client";
  report.hosts.hosts.push_back({0, std::string(text::kTradingHost) + "-A : 127.0.0.1", "127.0.0.1",
                                false, {7001, 7002}});
  ProxyFile base{"base_configuration", "C:\\Client\\Bin\\BaseConfig.ini", {}, {}};
  base.settings.m_nProxyType = 4;
  base.settings.m_strSocksUserPassword = "s3cret-Pass";
  base.stored.fill(true);
  report.proxy.files.push_back(base);
  CheckRun run;
  for (int32_t port : {7001, 7002}) {
    EndpointResult e;
    e.label = report.hosts.hosts[0].label, e.host = "127.0.0.1", e.address = 0x0100007F;
    e.port = port, e.verdict = port == 7001 ? Verdict::Open : Verdict::Refused;
    e.cause = port == 7001 ? "" : "the host answers, but nothing listens on port 7002";
    run.report.counts[static_cast<std::size_t>(e.verdict)]++;
    run.report.endpoints.push_back(e);
  }
  run.proxy = ProxyRoute{4, "127.0.0.1", "1080", "agent", "s3cret-Pass", base.path};
  run.proxied = {{ProxyVerdict::OpenViaProxy, "connected", base.path, 1.5},
                 {ProxyVerdict::ProxyRefusedTarget, "SOCKS5 5: connection refused", base.path, 2.0}};
  report.check = run;
  report.resultLines = Strings{text::kTargetReached, "Telnet 127.0.0.1 [127.0.0.1]"};

  const Strings lines = ReportTextLines(report);
  const std::string file = ReportFileText(lines);
  ASSERT_TRUE(file.starts_with(kUtf8Bom));
  const std::string text = file.substr(kUtf8Bom.size());
  const Strings expected = {
      "Reachkit support report\r\n",
      "generated: 2025-12-06T09:05:07Z (local offset -01:30)\r\n",
      "client root: C:\\Client\r\n",
      "0\t\xE4\xBA\xA4\xE6\x98\x93\xE4\xB8\xBB\xE6\xA9\x9F-A : 127.0.0.1\r\n",
      "SOCKSUserPassword=********\r\n",
      "check of every endpoint:\r\n",
      "127.0.0.1:7002         refused",
      "through the SOCKS5 proxy 127.0.0.1:1080 (C:\\Client\\Bin\\BaseConfig.ini):\r\n",
      "127.0.0.1:7002         proxy-refused-target 2.0 ms  SOCKS5 5: connection refused\r\n",
      "127.0.0.1:7002  the host answers, but nothing listens on port 7002\r\n",
      "2 endpoints: 1 open, 1 refused",
      "result list (2 lines):\r\n\xE7\x9B\xAE\xE6\xA8\x99\xE5\x88\xB0\xE9\x81\x94\r\n"
      "Telnet 127.0.0.1 [127.0.0.1]\r\n",
  };
  size_t from = 0;
  for (const std::string& piece : expected) {  // in this order
    const size_t at = text.find(piece, from);
    ASSERT_NE(at, std::string::npos) << piece << "\nin\n" << text;
    from = at + piece.size();
  }
  EXPECT_EQ(text.find("s3cret"), std::string::npos);
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);  // CR LF throughout
  EXPECT_TRUE(text.ends_with("\r\n"));

  // No check ran: the reason stands where the check would be; no list, no list section.
  report.check.reset();
  report.noCheck = "no check of every host has run in this window yet";
  report.resultLines.reset();
  const std::string bare = JoinLinesCrLf(ReportTextLines(report));
  EXPECT_TRUE(bare.ends_with("check of every endpoint:\r\n" + report.noCheck)) << bare;
}

}  // namespace
}  // namespace rk
