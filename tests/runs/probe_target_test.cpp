#include "runs/probe_target.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/texts.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Ip;
using Strings = std::vector<std::string>;

TEST(TargetResolution, SelectionToAddressPortsOrOneFailureLine) {
  // Five server entries sharing three ports, then two Local entries with a port each.
  const HostCatalogue catalogue{{"198.51.100.1", "trading.invalid", "255.255.255.255", "256.1.1.1",
                                 "0xC0.0.2.0x10", "192.0.2.9", "local.invalid"},
                                Strings(7, "x"), {443, 80, 8080}, {7001, 0}, 5};
  testing::FakeResolver resolver;
  resolver.Answer("trading.invalid", Ip(198, 51, 100, 7));
  resolver.Answer("255.255.255.255", Ip(203, 0, 113, 5));
  resolver.Answer("local.invalid", Ip(127, 0, 0, 1));
  // Selection, the failure line or the dotted address, names looked up, ports (none: a failure).
  const std::tuple<int, std::string, Strings, std::vector<int32_t>> rows[] = {
      {-1, text::kNoSelection, {}, {}},
      {7, text::kNoSelection, {}, {}},
      {0, "198.51.100.1", {}, {443, 80, 8080}},  // numeric: never looked up
      {4, "192.0.2.16", {}, {443, 80, 8080}},  // nor is any other form inet_addr takes
      {1, "198.51.100.7", {"trading.invalid"}, {443, 80, 8080}},
      {2, "203.0.113.5", {"255.255.255.255"}, {443, 80, 8080}},  // INADDR_NONE to inet_addr
      {3, text::kLookupFailed, {"256.1.1.1"}, {}},
      {5, "192.0.2.9", {}, {7001}},  // a Local entry: its own port replaces the shared ones
      {6, text::kNoLocalPort, {"local.invalid"}, {}},  // port 0 fails for every test
  };
  TestTarget target;
  for (const auto& [selection, lineOrAddress, asked, ports] : rows) {  // each replaces the ports
    resolver.asked.clear();
    Strings lines;
    const bool ok = ResolveTestTarget(selection, catalogue, resolver, target,
                                      [&](std::string line) { lines.push_back(line); });
    ASSERT_EQ(ok, !ports.empty()) << selection;
    EXPECT_EQ(resolver.asked, asked) << selection;
    EXPECT_EQ(lines, ok ? Strings{} : Strings{lineOrAddress}) << selection;
    if (!ok) continue;
    EXPECT_EQ(target.hostText, catalogue.hostTexts[static_cast<std::size_t>(selection)]);
    EXPECT_EQ(target.dottedAddress, lineOrAddress);
    EXPECT_EQ(DottedIPv4(target.address), lineOrAddress);
    EXPECT_EQ(target.ports, ports) << selection;
  }
}

}  // namespace
}  // namespace rk
