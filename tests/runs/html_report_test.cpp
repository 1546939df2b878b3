#include "runs/html_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/codepage.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Occurrences;

ReportResult CheckedReport() {
  ReportResult report;
  report.generatedUnix = 1796515200;
  report.hostName = "desk<1>";
  ProxyFile file{"base_configuration", "/client/Bin/BaseConfig.ini",
                 {1, "192.0.2.9", "", "trader", "Hush-Pass-42", "", "", "", "Socks-Pass-43"}, {}};
  file.stored.fill(true);
  report.proxy.files.push_back(file);
  CheckRun run;
  for (const Verdict verdict : {Verdict::Open, Verdict::Refused}) {
    EndpointResult endpoint;
    endpoint.label = Utf8ToCp950("交易主機-台北 <&\"> : 192.0.2.1"), endpoint.host = "192.0.2.1";
    endpoint.port = verdict == Verdict::Open ? 80 : 81, endpoint.verdict = verdict;
    run.report.endpoints.push_back(endpoint);
    ++run.report.counts[static_cast<std::size_t>(verdict)];
  }
  run.proxy = ProxyRoute{1, "192.0.2.9", "3128", "trader", "Hush-Pass-42", "/client/Bin/BaseConfig.ini"};
  run.proxied = {{ProxyVerdict::OpenViaProxy, "", "", 1}, {ProxyVerdict::ProxyLoginRefused, "407", "", 2}};
  run.conclusion =
      Conclusion{ConclusionCode::BrokerHost, {}, "the broker's host refuses port 81", "ask the broker", false, 2, {}};
  report.check = run;
  return report;
}

TEST(HtmlReport, CheckPageOpensWithTheConclusionHasEveryEndpointAndNoPassword) {
  std::ostringstream out;
  WriteCheckHtml(CheckedReport(), out);
  const std::string html = out.str();
  // One page that opens offline: nothing fetched, nothing run.
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
  for (const char* outside : {"<script", "http", "<link", "url(h"})
    EXPECT_EQ(html.find(outside), std::string::npos) << outside;
  EXPECT_EQ(html.find("Hush-Pass-42"), std::string::npos);
  EXPECT_EQ(html.find("Socks-Pass-43"), std::string::npos);
  EXPECT_NE(html.find("UserPassword=********"), std::string::npos);
  EXPECT_EQ(Occurrences(html, "class=\"endpoint-row"), 2u);
  EXPECT_NE(html.find("交易主機-台北 &lt;&amp;&quot;&gt; : 192.0.2.1"), std::string::npos);
  EXPECT_EQ(html.find("<&\">"), std::string::npos);
  EXPECT_NE(html.find("desk&lt;1&gt;"), std::string::npos);
  const auto conclusion = html.find("the broker&#39;s host refuses port 81");
  const auto table = html.find("<table class=\"endpoints\"");
  const auto configuration = html.find("<h2>Configuration</h2>");
  EXPECT_LT(conclusion, table);
  EXPECT_LT(table, configuration);
  EXPECT_NE(html.find("proxy-login-refused"), std::string::npos);
  EXPECT_EQ(Occurrences(html, "class=\"share-part\""), 2u);  // open and refused, one each
  // Without a check the page says why.
  ReportResult unchecked = CheckedReport();
  unchecked.check.reset();
  unchecked.noCheck = "no hosts to check";
  std::ostringstream without;
  WriteCheckHtml(unchecked, without);
  EXPECT_NE(without.str().find("no hosts to check"), std::string::npos);
  EXPECT_EQ(Occurrences(without.str(), "class=\"endpoint-row"), 0u);
}

}  // namespace
}  // namespace rk
