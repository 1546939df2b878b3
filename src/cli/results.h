#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/cli.h"
#include "cli/platform.h"
#include "config/connection_preference.h"
#include "config/verified_write.h"
#include "config/proxy_settings.h"
#include "probes/proxy_connector.h"
#include "runs/support_report.h"
#include "runs/probe_run.h"

namespace rk::cli {

// The commands' results (the shared ones in runs/support_report.h,
// which the window's report uses too). Each command builds its result once; the text lines
// and the JSON document (field names in docs/json.md) are two renderings of
// it, both written here. Texts are kept as the system's code page 950 bytes
// and paths as the platform gave them; the JSON rendering turns both into
// UTF-8.

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

// `telnet INDEX --via-proxy`: each port's window line and the proxy's verdict.
struct ProxiedTelnetResult {
  std::size_t index = 0;
  std::string label;
  std::string host;  // as configured, as the proxy is given it
  ProxyRoute route;  // never rendered with its login
  std::vector<std::pair<int32_t, ProxyResult>> attempts;  // in the order tried
  std::vector<std::string> lines;
  bool answered = false;
  bool interrupted = false;
};

void Render(const Context& context, const HostsResult& result);
// The host list's text lines, INDEX<TAB>LABEL, for `count` entries whose labels `label` gives.
void WriteHostLines(const Context& context, std::size_t count,
                    const std::function<const std::string&(std::size_t)>& label);
void Render(const Context& context, const PreferenceResult& result);
void Render(const Context& context, const ProxySettingsResult& result);
void Render(const Context& context, const SetPreferenceResult& result);
void Render(const Context& context, const TestResult& result);  // JSON only, see above
void Render(const Context& context, const ReportResult& result);  // text always UTF-8

// JSON forms, for documents that hold other results (the report).
void to_json(nlohmann::ordered_json& json, const SetPreferenceResult& result);
void to_json(nlohmann::ordered_json& json, const TestResult& result);
void to_json(nlohmann::ordered_json& json, const ProxiedTelnetResult& result);

// One JSON document on stdout, UTF-8; invalid bytes become U+FFFD.
void WriteJson(const Context& context, const nlohmann::ordered_json& document);

}  // namespace rk::cli

namespace rk {
// JSON forms of the shared results (field names in docs/json.md), for
// documents that hold them (the report).
void to_json(nlohmann::ordered_json& json, const HostsResult& result);
void to_json(nlohmann::ordered_json& json, const PreferenceResult& result);
void to_json(nlohmann::ordered_json& json, const ProxySettingsResult& result);
void to_json(nlohmann::ordered_json& json, const ReportResult& result);
}  // namespace rk
