#include "config/host_catalogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "base/format.h"
#include "base/texts.h"
#include "base/white_space.h"

namespace rk {

namespace {

// The client's own conversion: no digit test, so "8a" and "-1" give what the
// arithmetic gives. Unsigned so that overflow wraps instead of being undefined.
int32_t ClientPortValue(std::string_view piece) {
  uint32_t value = 0;
  for (char c : piece) {
    const auto byte = static_cast<int32_t>(static_cast<signed char>(c));
    value = value * 10u + static_cast<uint32_t>(byte - 48);
  }
  return static_cast<int32_t>(value);
}

void AddServerEntries(HostCatalogue& catalogue, ProfileStore& profile, const std::string& quotePath) {
  std::string_view rest;
  const std::string list = profile.GetString("Tradedesk", "Name", "", kProfileBufferSize, quotePath);
  rest = list;
  catalogue.locationListCut = list.size() + 1 >= kProfileBufferSize;
  if (rest.empty()) return;
  for (;;) {
    const std::size_t comma = rest.find(',');
    const bool last = comma == std::string_view::npos || comma == 0;
    const std::string location(last ? rest : rest.substr(0, comma));
    const char* kind =
        location.find("Order") != std::string::npos ? text::kTradingHost : text::kQuoteHost;
    std::string host = profile.GetString(location, "NMIP", "", kProfileBufferSize, quotePath);
    catalogue.labels.push_back(
        Format(text::kServerEntryLabelFormat, kind, location.c_str(), host.c_str()));
    catalogue.hostTexts.push_back(std::move(host));
    ++catalogue.serverSectionCount;
    if (last) return;
    rest.remove_prefix(comma + 1);  // a trailing comma leaves "" for one more entry
  }
}

// "IP_12" and the like, without a format: the catalogue asks two of them per
// Local entry.
std::string NumberedKey(std::string_view prefix, int32_t number) {
  std::array<char, 12> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
  std::string key(prefix);
  key.append(digits.data(), end);
  return key;
}

void AddLocalEntries(HostCatalogue& catalogue, ProfileStore& profile, const std::string& hostPath) {
  const int32_t count = std::min(profile.GetInt("Local", "Count", 0, hostPath), kMaxLocalEntries);
  if (count <= 0) return;
  const auto n = static_cast<std::size_t>(count);
  catalogue.hostTexts.reserve(catalogue.hostTexts.size() + n);
  catalogue.labels.reserve(catalogue.labels.size() + n);
  catalogue.localPorts.reserve(n);
  for (int32_t i = 1; i <= count; ++i) {
    std::string host =
        profile.GetString("Local", NumberedKey("IP_", i), "", kProfileBufferSize, hostPath);
    const std::string portKey = NumberedKey("Port_", i);
    const int32_t port = profile.GetInt("Local", portKey, 0, hostPath);
    if (port == 0) {  // rare: only then is the text read again, to show what was typed
      std::string typed(TrimWhiteSpace(profile.GetString("Local", portKey, "", kProfileBufferSize, hostPath)));
      if (!typed.empty() && typed != "0") catalogue.localPortTexts.emplace(i - 1, std::move(typed));
    }
    catalogue.labels.push_back(Format(text::kLocalEntryLabelFormat, i, host.c_str(), port));
    catalogue.hostTexts.push_back(std::move(host));
    catalogue.localPorts.push_back(port);
  }
}

}  // namespace

HostEntry HostCatalogue::Entry(std::size_t index) const {
  HostEntry entry;
  entry.label = labels.at(index);
  entry.host = hostTexts.at(index);
  const auto servers = static_cast<std::size_t>(serverSectionCount);
  entry.group = index < servers ? HostGroup::ServerSection : HostGroup::LocalSection;
  if (entry.group == HostGroup::LocalSection) {
    const std::size_t k = index - servers;
    entry.port = localPorts.at(k);
    if (const auto typed = localPortTexts.find(static_cast<int32_t>(k)); typed != localPortTexts.end())
      entry.portText = typed->second;
  }
  return entry;
}

std::vector<int32_t> HostCatalogue::PortsOf(std::size_t index) const {
  // Asked once per entry when a list is built: no copy of the entry's texts.
  (void)hostTexts.at(index);
  const auto servers = static_cast<std::size_t>(serverSectionCount);
  if (index < servers) return nmPorts;
  const int32_t port = localPorts.at(index - servers);
  if (port == 0) return {};
  return {port};
}

namespace {

// Calls `each` with every piece of the list that is not empty, trimmed.
template <typename Each>
void ForEachPortPiece(std::string_view text, Each each) {
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const bool last = comma == std::string_view::npos;
    // A comma at index 0 makes the whole rest one piece; the next pass then
    // starts after that comma (the client's reading, kept as it is).
    const std::string_view piece = TrimWhiteSpace((last || comma == 0) ? text : text.substr(0, comma));
    if (!piece.empty()) each(piece);
    if (last) break;
    text.remove_prefix(comma + 1);
  }
}

}  // namespace

std::vector<int32_t> ParsePortList(std::string_view text) {
  std::vector<int32_t> ports;
  ForEachPortPiece(text, [&](std::string_view piece) { ports.push_back(ClientPortValue(piece)); });
  return ports;
}

std::vector<std::string> PortListTexts(std::string_view text) {
  std::vector<std::string> texts;
  ForEachPortPiece(text, [&](std::string_view piece) {
    const int32_t value = ClientPortValue(piece);
    texts.push_back(std::to_string(value) == piece ? std::string() : std::string(piece));
  });
  return texts;
}

HostCatalogue BuildHostCatalogue(ProfileStore& profile, const ClientPaths& paths) {
  // Thousands of keys from three files: each file is looked at once.
  const HeldFileStates held(profile);
  HostCatalogue catalogue;
  AddServerEntries(catalogue, profile, paths.QuoteSettingsPath());
  const std::string portList =
      profile.GetString("DC", "ClientToNMPortTry", "", kProfileBufferSize, paths.BaseConfigPath());
  catalogue.nmPorts = ParsePortList(portList);
  catalogue.nmPortTexts = PortListTexts(portList);
  AddLocalEntries(catalogue, profile, paths.PlatformHostFilePath(profile));
  return catalogue;
}

}  // namespace rk
