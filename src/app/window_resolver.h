#pragma once
// The name look-up of the window's tests and checks.
#include <cstdlib>

#include "probes/net_address.h"

namespace rk {

// Answers no name, without asking the network: what the window tests use
// (environment REACHKIT_TEST_NO_NAME_LOOKUP set) to see a name fail to
// resolve without looking anything up.
class NoNameResolver final : public NameResolver {
 public:
  std::optional<uint32_t> FirstIPv4(const std::string&) override { return std::nullopt; }
};

inline NameResolver& WindowNameResolver() {
  static NoNameResolver none;
  return std::getenv("REACHKIT_TEST_NO_NAME_LOOKUP") != nullptr ? none : SystemNameResolver();
}

}  // namespace rk
