#include "diagnostics/test_target.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/texts.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Ip;
using Strings = std::vector<std::string>;

TEST(NetAddress, NumericFormsThatInetAddrTakes) {
  const std::pair<std::string, std::optional<uint32_t>> rows[] = {
      {"192.0.2.1", Ip(192, 0, 2, 1)},      {"127.1", Ip(127, 0, 0, 1)},
      {"198.51.1025", Ip(198, 51, 4, 1)},   {"0xC0.0.2.0x10", Ip(192, 0, 2, 16)},
      {"255.255.255.254", Ip(255, 255, 255, 254)},
      {"255.255.255.255", std::nullopt},  // INADDR_NONE: goes to the name look-up
      {"", std::nullopt}, {"localhost", std::nullopt}, {"256.1.1.1", std::nullopt}};
  for (const auto& [text, address] : rows) EXPECT_EQ(ParseNumericIPv4(text), address) << text;
}

TEST(TargetResolution, SelectionToAddressPortsOrOneFailureLine) {
  // Four server entries sharing three ports, then two Local entries with a port each.
  const HostCatalogue catalogue{{"10.0.0.1", "trading.invalid", "255.255.255.255", "nobody.invalid",
                                 "192.0.2.9", "local.invalid"},
                                Strings(6, "x"), {443, 80, 8080}, {7001, 0}, 4};
  testing::FakeResolver resolver;
  resolver.Answer("trading.invalid", Ip(198, 51, 100, 7));
  resolver.Answer("255.255.255.255", Ip(203, 0, 113, 5));
  resolver.Answer("local.invalid", Ip(127, 0, 0, 1));
  struct Row {
    int selection;
    std::string lineOrAddress;  // the failure line, or the dotted address on success
    Strings asked;
    std::vector<int32_t> ports;  // none: a failure
  } const rows[] = {
      {-1, text::kNoSelection, {}, {}},
      {6, text::kNoSelection, {}, {}},
      {0, "10.0.0.1", {}, {443, 80, 8080}},  // numeric: never looked up
      {1, "198.51.100.7", {"trading.invalid"}, {443, 80, 8080}},
      {2, "203.0.113.5", {"255.255.255.255"}, {443, 80, 8080}},
      {3, text::kLookupFailed, {"nobody.invalid"}, {}},
      {4, "192.0.2.9", {}, {7001}},  // a Local entry: its own port replaces the shared ones
      {5, text::kNoLocalPort, {"local.invalid"}, {}},  // port 0 fails for every test
  };
  TestTarget target;
  for (const Row& row : rows) {  // one target throughout: each success replaces its ports
    resolver.asked.clear();
    Strings lines;
    const bool ok = ResolveTestTarget(row.selection, catalogue, resolver, target,
                                      [&](std::string line) { lines.push_back(line); });
    ASSERT_EQ(ok, !row.ports.empty()) << row.selection;
    EXPECT_EQ(resolver.asked, row.asked) << row.selection;
    EXPECT_EQ(lines, ok ? Strings{} : Strings{row.lineOrAddress}) << row.selection;
    if (!ok) continue;
    EXPECT_EQ(target.hostText, catalogue.hostTexts[static_cast<std::size_t>(row.selection)]);
    EXPECT_EQ(target.dottedAddress, row.lineOrAddress);
    EXPECT_EQ(DottedIPv4(target.address), row.lineOrAddress);
    EXPECT_EQ(target.ports, row.ports) << row.selection;
  }
}

}  // namespace
}  // namespace rk
