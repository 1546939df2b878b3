#include "runs/html_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/codepage.h"

namespace rk {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// What every report page must hold and must not.
void ExpectSelfContained(const std::string& html) {
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("@media print"), std::string::npos);
  EXPECT_NE(html.find("lang=\"zh-Hant\""), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("http"), std::string::npos);
  EXPECT_EQ(html.find("<link"), std::string::npos);
  EXPECT_EQ(html.find("url(h"), std::string::npos);
}

ReportResult CheckedReport() {
  ReportResult report;
  report.generatedUnix = 1796515200;
  report.version = "1.2.3";
  report.hostName = "desk<1>";
  report.clientRoot = "/client";
  report.hosts.hosts.push_back({0, Utf8ToCp950("交易主機-台北 : 192.0.2.1"), "192.0.2.1", false, {80, 81}});
  ProxyFile file;
  file.name = "base_configuration";
  file.path = "/client/Bin/BaseConfig.ini";
  file.settings.m_nProxyType = 1;
  file.settings.m_strProxyServerName = "192.0.2.9";
  file.settings.m_strUserName = "trader";
  file.settings.m_strUserPassword = "Hush-Pass-42";
  file.settings.m_strSocksUserPassword = "Socks-Pass-43";
  file.stored.fill(true);
  report.proxy.files.push_back(file);

  CheckRun run;
  for (int32_t port : {80, 81}) {
    EndpointResult endpoint;
    endpoint.index = 0;
    endpoint.label = Utf8ToCp950("交易主機-台北 <&\"> : 192.0.2.1");
    endpoint.host = "192.0.2.1";
    endpoint.address = 0x010200C0;
    endpoint.port = port;
    endpoint.verdict = port == 80 ? Verdict::Open : Verdict::Refused;
    endpoint.cause = port == 80 ? "" : "nothing listens";
    run.report.endpoints.push_back(endpoint);
    ++run.report.counts[static_cast<std::size_t>(endpoint.verdict)];
  }
  run.proxy = ProxyRoute{1, "192.0.2.9", "3128", "trader", "Hush-Pass-42", "/client/Bin/BaseConfig.ini"};
  run.proxied = {{ProxyVerdict::OpenViaProxy, "", "", 1}, {ProxyVerdict::ProxyLoginRefused, "407", "", 2}};
  Conclusion conclusion;
  conclusion.code = ConclusionCode::BrokerHost;
  conclusion.text = "the broker's host refuses port 81";
  conclusion.advice = "ask the broker";
  run.conclusion = conclusion;
  report.check = run;
  return report;
}

TEST(HtmlReport, CheckPageOpensWithTheConclusionHasEveryEndpointAndNoPassword) {
  std::ostringstream out;
  WriteCheckHtml(CheckedReport(), out);
  const std::string html = out.str();
  ExpectSelfContained(html);
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
  ASSERT_NE(conclusion, std::string::npos);
  EXPECT_LT(conclusion, table);
  EXPECT_LT(table, configuration);
  EXPECT_NE(html.find("proxy-login-refused"), std::string::npos);
  EXPECT_EQ(Occurrences(html, "class=\"share-part\""), 2u);  // open and refused, one each
}

TEST(HtmlReport, WithoutACheckThePageSaysWhy) {
  ReportResult report = CheckedReport();
  report.check.reset();
  report.noCheck = "no hosts to check";
  std::ostringstream out;
  WriteCheckHtml(report, out);
  EXPECT_NE(out.str().find("no hosts to check"), std::string::npos);
  EXPECT_EQ(Occurrences(out.str(), "class=\"endpoint-row"), 0u);
}

}  // namespace
}  // namespace rk
