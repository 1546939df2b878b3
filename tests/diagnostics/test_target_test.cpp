#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/texts.h"
#include "diagnostics/test_target.h"
#include "support/test_support.h"

namespace rk {
namespace {

using testing::Ip;

// Two server entries sharing three ports, then three Local entries.
HostCatalogue SampleCatalogue() {
  HostCatalogue catalogue;
  catalogue.hostTexts = {"10.0.0.1", "trading.invalid", "192.0.2.9", "", "255.255.255.255"};
  catalogue.labels = {"a", "b", "c", "d", "e"};
  catalogue.nmPorts = {443, 80, 8080};
  catalogue.localPorts = {7001, 0, 7003};
  catalogue.serverSectionCount = 2;
  return catalogue;
}

struct Resolution {
  bool ok = false;
  std::vector<std::string> lines;
  TestTarget target;
};

Resolution Resolve(const HostCatalogue& catalogue, int selection, testing::FakeResolver& resolver) {
  Resolution r;
  r.ok = ResolveTestTarget(selection, catalogue, resolver, r.target,
                           [&r](std::string line) { r.lines.push_back(std::move(line)); });
  return r;
}

TEST(TargetResolution, FailuresWriteOneEnglishLineEach) {
  const HostCatalogue catalogue = SampleCatalogue();
  testing::FakeResolver resolver;
  struct Row {
    const HostCatalogue* catalogue;
    int selection;
    const char* line;
  };
  const HostCatalogue empty;
  const Row rows[] = {
      {&catalogue, -1, text::kNoSelection},
      {&empty, 0, text::kNoSelection},
      {&catalogue, 1, text::kLookupFailed},    // a name nobody answers
      {&catalogue, 3, text::kLookupFailed},    // Local entry 2: empty host, then port 0
      {&catalogue, 5, text::kNoSelection},     // past the end
  };
  for (const Row& row : rows) {
    const Resolution r = Resolve(*row.catalogue, row.selection, resolver);
    EXPECT_FALSE(r.ok) << row.selection;
    EXPECT_EQ(r.lines, std::vector<std::string>{row.line}) << row.selection;
  }
  // Port 0 fails even though the host resolves, and even for tests that use no port.
  resolver.Answer("", Ip(127, 0, 0, 1));
  EXPECT_EQ(Resolve(catalogue, 3, resolver).lines,
            std::vector<std::string>{text::kNoLocalPort});
}

TEST(TargetResolution, NumericAddressesAreNeverLookedUp) {
  const HostCatalogue catalogue = SampleCatalogue();
  testing::FakeResolver resolver;
  const Resolution r = Resolve(catalogue, 0, resolver);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(resolver.asked.empty());
  EXPECT_EQ(r.target.hostText, "10.0.0.1");
  EXPECT_EQ(r.target.dottedAddress, "10.0.0.1");
  EXPECT_EQ(r.target.address, Ip(10, 0, 0, 1));
  EXPECT_TRUE(r.lines.empty());
}

TEST(TargetResolution, NamesAndTheAllOnesAddressGoToTheLookUp) {
  HostCatalogue catalogue = SampleCatalogue();
  catalogue.localPorts[2] = 7003;
  testing::FakeResolver resolver;
  resolver.Answer("trading.invalid", Ip(198, 51, 100, 7));
  resolver.Answer("255.255.255.255", Ip(203, 0, 113, 5));

  const Resolution byName = Resolve(catalogue, 1, resolver);
  ASSERT_TRUE(byName.ok);
  EXPECT_EQ(byName.target.hostText, "trading.invalid");
  EXPECT_EQ(byName.target.dottedAddress, "198.51.100.7");

  const Resolution allOnes = Resolve(catalogue, 4, resolver);
  ASSERT_TRUE(allOnes.ok);
  EXPECT_EQ(resolver.asked, (std::vector<std::string>{"trading.invalid", "255.255.255.255"}));
  EXPECT_EQ(allOnes.target.dottedAddress, "203.0.113.5");
}

TEST(TargetResolution, PortsComeFromTheEntrysGroup) {
  HostCatalogue catalogue = SampleCatalogue();
  testing::FakeResolver resolver;
  resolver.Answer("trading.invalid", Ip(198, 51, 100, 7));

  EXPECT_EQ(Resolve(catalogue, 0, resolver).target.ports, (std::vector<int32_t>{443, 80, 8080}));
  // A Local entry has exactly its own port, however many shared ports there are.
  EXPECT_EQ(Resolve(catalogue, 2, resolver).target.ports, std::vector<int32_t>{7001});
  // No shared ports is no failure: the connection test then writes only its header.
  catalogue.nmPorts.clear();
  const Resolution noPorts = Resolve(catalogue, 1, resolver);
  EXPECT_TRUE(noPorts.ok);
  EXPECT_TRUE(noPorts.target.ports.empty());

  // A second resolution replaces the ports of the first.
  TestTarget target;
  target.ports = {1, 2, 3};
  ASSERT_TRUE(ResolveTestTarget(2, catalogue, resolver, target, [](std::string) {}));
  EXPECT_EQ(target.ports, std::vector<int32_t>{7001});
}

TEST(TargetResolution, SystemResolverAnswersLocalhost) {
  const std::optional<uint32_t> address = SystemNameResolver().FirstIPv4("localhost");
  ASSERT_TRUE(address.has_value());
  EXPECT_EQ(DottedIPv4(*address).substr(0, 4), "127.");
}

}  // namespace
}  // namespace rk
