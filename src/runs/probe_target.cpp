#include "runs/probe_target.h"

#include "base/texts.h"

namespace rk {

bool ResolveTestTarget(int selection, const HostCatalogue& catalogue, NameResolver& resolver,
                       TestTarget& target, const LineWriter& writeLine) {
  if (selection < 0 || static_cast<std::size_t>(selection) >= catalogue.size()) {
    writeLine(text::kNoSelection);
    return false;
  }
  const auto index = static_cast<std::size_t>(selection);
  target.hostText = catalogue.hostTexts[index];

  std::optional<uint32_t> address = ParseNumericIPv4(target.hostText);
  if (!address) address = resolver.FirstIPv4(target.hostText);
  if (!address) {
    writeLine(text::kLookupFailed);
    return false;
  }
  target.address = *address;
  target.dottedAddress = DottedIPv4(*address);

  // A Local entry without a port has nothing to test; a server entry with
  // an empty shared list still resolves (its test writes only its header).
  target.ports = catalogue.PortsOf(index);
  if (target.ports.empty() && selection >= catalogue.serverSectionCount) {
    writeLine(text::kNoLocalPort);
    return false;
  }
  return true;
}

}  // namespace rk
