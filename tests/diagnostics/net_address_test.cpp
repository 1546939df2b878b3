#include "diagnostics/net_address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace rk {
namespace {

using rk::testing::Ip;

TEST(NetAddress, NumericFormsThatInetAddrTakes) {
  struct Row {
    std::string text;
    std::optional<uint32_t> address;
  };
  const Row rows[] = {
      {"192.0.2.1", Ip(192, 0, 2, 1)},
      {"0.0.0.0", Ip(0, 0, 0, 0)},
      {"255.255.255.254", Ip(255, 255, 255, 254)},
      {"127.1", Ip(127, 0, 0, 1)},           // a.b: b fills the last 24 bits
      {"198.51.1025", Ip(198, 51, 4, 1)},    // a.b.c: c fills the last 16 bits
      {"0xC0.0.2.0x10", Ip(192, 0, 2, 16)},  // hexadecimal parts
      // INADDR_NONE, also for the one address that spells it: a name look-up follows.
      {"255.255.255.255", std::nullopt},
      {"", std::nullopt},
      {"localhost", std::nullopt},
      {"256.1.1.1", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"203.0.113.x", std::nullopt},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ParseNumericIPv4(row.text), row.address) << '"' << row.text << '"';
}

TEST(NetAddress, DottedFormIsInNetworkByteOrderAndRoundTrips) {
  struct Row {
    uint32_t address;
    std::string dotted;
  };
  const Row rows[] = {
      {Ip(192, 0, 2, 1), "192.0.2.1"},     {Ip(203, 0, 113, 254), "203.0.113.254"},
      {Ip(0, 0, 0, 0), "0.0.0.0"},         {Ip(255, 255, 255, 255), "255.255.255.255"},
      {Ip(10, 200, 3, 45), "10.200.3.45"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DottedIPv4(row.address), row.dotted);
    if (row.dotted != "255.255.255.255") {
      EXPECT_EQ(ParseNumericIPv4(row.dotted), row.address) << row.dotted;
    }
  }
}

TEST(NetAddress, SystemResolverFindsLocalhostOnLoopback) {
  const std::optional<uint32_t> address = SystemNameResolver().FirstIPv4("localhost");
  ASSERT_TRUE(address.has_value());
  unsigned char first = 0;
  std::memcpy(&first, &*address, 1);
  EXPECT_EQ(first, 127) << DottedIPv4(*address);
}

}  // namespace
}  // namespace rk
