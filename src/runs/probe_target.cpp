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

  target.ports.clear();
  if (selection < catalogue.serverSectionCount) {
    target.ports = catalogue.nmPorts;
    return true;
  }
  const int32_t port =
      catalogue.localPorts.at(index - static_cast<std::size_t>(catalogue.serverSectionCount));
  if (port == 0) {
    writeLine(text::kNoLocalPort);
    return false;
  }
  target.ports.push_back(port);
  return true;
}

}  // namespace rk
