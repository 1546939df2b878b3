#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/cli.h"
#include "cli/platform.h"
#include "config/connection_preference.h"
#include "config/profile_store.h"
#include "config/proxy_settings.h"
#include "diagnostics/test_run.h"

namespace rk::cli {

// The commands' results. Each command builds its result once; the text lines
// and the JSON document (field names in docs/json.md) are two renderings of
// it, both written here. Texts are kept as the system's code page 950 bytes
// and paths as the platform gave them; the JSON rendering turns both into
// UTF-8.

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
[[nodiscard]] HostsResult CollectHosts(const Context& context);

struct PreferenceResult {
  std::string line;  // the window's preference label
  ConnectionPreference success;
  ConnectionPreference priority;
};
[[nodiscard]] PreferenceResult CollectPreference(const Context& context);

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
[[nodiscard]] ProxySettingsResult CollectProxy(const Context& context, bool showPasswords);

struct SetPreferenceResult {
  bool stored = false;
  std::string refusal;  // the dialog's message when refused
  std::string line;     // the preference label once stored
  // The dialog's checks passed but the file does not hold what was written.
  std::optional<SaveError> saveError;
};

// One run of Ping, TraceRT or Telnet. In text mode its lines are written as
// they arrive (they are the text rendering); JSON is written at the end.
struct TestResult {
  TestKind kind = TestKind::Ping;
  std::size_t index = 0;
  std::string label;
  TestTarget target;  // dottedAddress empty when resolution failed
  std::vector<std::string> lines;
  std::vector<TestStep> steps;
  bool answered = false;
  bool interrupted = false;
};

// The support report: when, where, what the configuration says, and what a
// check of every endpoint found. Its text is UTF-8 on every platform.
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
  std::optional<CheckRun> check;  // none when there are no hosts to check
};
// "2026-12-06T17:00:00Z"; "+08:00".
[[nodiscard]] std::string IsoUtc(int64_t unixSeconds);
[[nodiscard]] std::string UtcOffsetText(int minutes);

void Render(const Context& context, const HostsResult& result);
void Render(const Context& context, const PreferenceResult& result);
void Render(const Context& context, const ProxySettingsResult& result);
void Render(const Context& context, const SetPreferenceResult& result);
void Render(const Context& context, const TestResult& result);  // JSON only, see above
void Render(const Context& context, const ReportResult& result);  // text always UTF-8

// JSON forms, for documents that hold other results (the report).
void to_json(nlohmann::ordered_json& json, const HostsResult& result);
void to_json(nlohmann::ordered_json& json, const PreferenceResult& result);
void to_json(nlohmann::ordered_json& json, const ProxySettingsResult& result);
void to_json(nlohmann::ordered_json& json, const SetPreferenceResult& result);
void to_json(nlohmann::ordered_json& json, const TestResult& result);
void to_json(nlohmann::ordered_json& json, const ReportResult& result);

// One JSON document on stdout, UTF-8; invalid bytes become U+FFFD.
void WriteJson(const Context& context, const nlohmann::ordered_json& document);

}  // namespace rk::cli
