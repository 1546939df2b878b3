#pragma once
// The support report: when, where, what the client's configuration says, and
// what a check of every endpoint found (directly and, when a proxy is stored,
// through it). reachkit-cli's `report` and the window's saved report are this
// one report; the CLI adds its JSON rendering, the window the result list.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/client_paths.h"
#include "config/connection_preference.h"
#include "config/profile_store.h"
#include "config/proxy_settings.h"
#include "runs/check_table.h"
#include "probes/machine_facts.h"

namespace rk {

// Texts are kept as the system's code page 950 bytes and paths as the
// platform gave them; the renderings turn both into what they write.

struct HostRow {
  std::size_t index = 0;
  std::string label;  // the combo-box line
  std::string host;   // as configured
  bool local = false;  // from the host file's Local section
  std::vector<int32_t> ports;  // the ports a Telnet test of the entry tries
};
struct HostsResult {
  std::string clientRoot;
  std::vector<HostRow> hosts;
};
[[nodiscard]] HostsResult CollectHosts(ProfileStore& profile, const ClientPaths& paths);

struct PreferenceResult {
  std::string line;  // the window's preference label
  ConnectionPreference success;
  ConnectionPreference priority;
};
[[nodiscard]] PreferenceResult CollectPreference(ProfileStore& profile, const ClientPaths& paths);

// The nine proxy keys of one file, as the proxy-setting dialog would load
// them. The text shows a stored password as "********" unless asked to show
// it; the JSON never holds one, only whether one is stored.
// A key the file does not hold reads as 0 or empty, which is not what the
// file holds: `stored` tells the two apart.
struct ProxyFile {
  std::string name;  // tool_settings or base_configuration
  std::string path;
  ProxySettings settings;
  std::array<bool, 9> stored{};  // per key of kProxyKeys
};
struct ProxySettingsResult {
  std::string masterCopy;  // the file the dialog loads (the other is overwritten from it)
  std::vector<ProxyFile> files;
  bool showPasswords = false;  // text only
};
[[nodiscard]] ProxySettingsResult CollectProxy(ProfileStore& profile, const ClientPaths& paths,
                                               bool showPasswords);
// The key lines of one file (code page 950): "Key=value", a password as
// "********" unless the result shows them, "Key (missing)" for a key the file
// does not hold.
[[nodiscard]] std::vector<std::string> ProxyKeyLines(const ProxySettingsResult& result,
                                                     const ProxyFile& file);

struct ConfigFile {
  std::string name;  // quote_settings, platform_settings, host_file, base_configuration, tool_settings
  std::string path;
  FileFacts facts;
};
struct ReportResult {
  int64_t generatedUnix = 0;   // seconds since 1970-01-01 UTC
  int localOffsetMinutes = 0;  // local time minus UTC
  std::string version;
  std::string hostName;
  std::vector<std::string> ipv4Addresses;
  std::string clientRoot;
  std::vector<ConfigFile> files;
  HostsResult hosts;
  PreferenceResult preference;
  ProxySettingsResult proxy;  // never with showPasswords
  std::optional<CheckRun> check;  // none when nothing was checked
  std::string noCheck;            // why not, in place of the check's lines (ASCII)
  // The window's result list as shown (code page 950); the CLI has none.
  std::optional<std::vector<std::string>> resultLines;
};

// Everything but the check (and the result list): the time, the machine,
// the files read, hosts, preference and proxy.
[[nodiscard]] ReportResult CollectReport(ProfileStore& profile, const ClientPaths& paths,
                                         std::string version);

// Local time minus UTC at `unixSeconds`, in minutes.
[[nodiscard]] int LocalOffsetMinutes(int64_t unixSeconds);
// "+08:00".
[[nodiscard]] std::string UtcOffsetText(int minutes);

// The report as text: UTF-8 lines, without line ends.
[[nodiscard]] std::vector<std::string> ReportTextLines(const ReportResult& result);

}  // namespace rk
