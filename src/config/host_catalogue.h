#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/client_paths.h"
#include "config/profile_store.h"

namespace rk {

enum class HostGroup { ServerSection, LocalSection };

// One selectable host: index i of the host combo box is entry i.
struct HostEntry {
  std::string label;  // the combo-box line
  std::string host;   // dotted IPv4 or a host name, as configured; may be empty
  HostGroup group = HostGroup::ServerSection;
  int32_t port = 0;   // LocalSection only; 0 means the entry has no port
  std::string portText;  // LocalSection only: the port as typed when it reads as 0, else empty
};

// The testable hosts: first the server sections' hosts (all tested on
// nmPorts), then the Local section's hosts, each with a port of its own.
struct HostCatalogue {
  std::vector<std::string> hostTexts;  // host of entry i
  std::vector<std::string> labels;     // combo-box line i
  std::vector<int32_t> nmPorts;        // shared port list of the server entries
  std::vector<int32_t> localPorts;     // port of Local entry k at k
  int32_t serverSectionCount = 0;      // index of the first Local entry
  // The location list filled the profile buffer (kProfileBufferSize - 1
  // bytes): the locations past the cut are lost, and the last one may be a
  // piece of a name.
  bool locationListCut = false;
  // Ports as typed where the text is not the number it reads as ("8o8",
  // "0080"): nmPortTexts parallel to nmPorts
  // (empty where the text is the number), and the Local entries whose port
  // reads as 0 from a text that is not empty, by k.
  std::vector<std::string> nmPortTexts{};
  std::map<int32_t, std::string> localPortTexts{};

  [[nodiscard]] std::size_t size() const { return hostTexts.size(); }
  [[nodiscard]] bool empty() const { return hostTexts.empty(); }
  [[nodiscard]] HostEntry Entry(std::size_t index) const;
  // The ports entry `index` is tested on, in order: a ServerSection entry's
  // are the shared nmPorts (maybe none), a LocalSection entry's its own port,
  // or none when that is 0.
  [[nodiscard]] std::vector<int32_t> PortsOf(std::size_t index) const;
};

// Reads the catalogue from the client's files (quote settings, base
// configuration, host file). Missing files, sections and keys read as empty.
// * A Local "Count" above kMaxLocalEntries is taken as kMaxLocalEntries: the
//   client never writes such a file, and a corrupt count must not stall the
//   window or exhaust memory.
[[nodiscard]] HostCatalogue BuildHostCatalogue(ProfileStore& profile, const ClientPaths& paths);

inline constexpr int32_t kMaxLocalEntries = 100'000;

// The shared port list of "ClientToNMPortTry": comma-separated pieces, each
// trimmed and, when not empty, read byte by byte as value*10 + (byte - '0')
// with no digit test (the client's own arithmetic, wrapping at 32 bits).
[[nodiscard]] std::vector<int32_t> ParsePortList(std::string_view text);
// The same pieces as typed (trimmed), for showing the ones that are no port.
[[nodiscard]] std::vector<std::string> PortListTexts(std::string_view text);

}  // namespace rk
