#include "cli/results.h"

#include <array>
#include <charconv>
#include <functional>
#include <nlohmann/json.hpp>
#include <string_view>

#include "base/codepage.h"
#include "base/format.h"
#include "base/utc_time.h"
#include "cli/platform.h"
#include "config/host_catalogue.h"
#include "probes/net_address.h"

namespace rk::cli {

using json = nlohmann::ordered_json;

namespace {

std::string Utf8(std::string_view cp950) { return Cp950ToUtf8(cp950); }

const char* TestName(TestKind kind) {
  switch (kind) {
    case TestKind::Ping: return "ping";
    case TestKind::TraceRoute: return "trace";
    case TestKind::Telnet: return "telnet";
  }
  return "";
}

json AddressOrNull(uint32_t address) {
  return address == 0 ? json(nullptr) : json(DottedIPv4(address));
}

}  // namespace

void WriteJson(const Context& context, const json& document) {
  context.out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  context.out.flush();
}

void to_json(json& j, const SetPreferenceResult& result) {
  const bool refused = !result.stored && !result.saveError;
  j = {{"stored", result.stored},
       {"line", result.stored ? json(Utf8(result.line)) : json(nullptr)},
       {"refusal", refused ? json(Utf8(result.refusal)) : json(nullptr)},
       {"error", result.saveError ? json{{"file", NativeTextToUtf8(result.saveError->path)},
                                         {"reason", NativeTextToUtf8(result.saveError->reason)}}
                                  : json(nullptr)}};
}

void to_json(json& j, const TestResult& result) {
  const TestTarget& target = result.target;
  const bool resolved = !target.dottedAddress.empty();
  j = {{"command", TestName(result.kind)},
       {"index", result.index},
       {"label", Utf8(result.label)},
       {"host", Utf8(target.hostText)},
       {"address", resolved ? json(target.dottedAddress) : json(nullptr)},
       {"answered", result.answered},
       {"interrupted", result.interrupted}};
  json steps = json::array();
  for (const TestStep& step : result.steps) {
    switch (result.kind) {
      case TestKind::Ping:
        steps.push_back({{"seq", step.sequence},
                         {"answered", step.answered},
                         {"address", AddressOrNull(step.replyAddress)},
                         {"ms", step.ms},
                         {"error_code", step.errorCode}});
        break;
      case TestKind::TraceRoute:
        steps.push_back({{"ttl", step.sequence},
                         {"answered", step.answered},
                         {"address", AddressOrNull(step.replyAddress)},
                         {"ms", step.ms},
                         {"error_code", step.errorCode}});
        break;
      case TestKind::Telnet:
        steps.push_back({{"port", step.port}, {"connected", step.answered}});
        break;
    }
  }
  switch (result.kind) {
    case TestKind::Ping: j["echoes"] = std::move(steps); break;
    case TestKind::TraceRoute:
      j["hops"] = std::move(steps);
      j["target_reached"] = result.answered;
      break;
    case TestKind::Telnet:
      j["ports"] = resolved ? json(target.ports) : json::array();
      j["attempts"] = std::move(steps);
      break;
  }
  json lines = json::array();
  for (const std::string& line : result.lines) lines.push_back(Utf8(line));
  j["lines"] = std::move(lines);
}

void to_json(json& j, const ProxiedTelnetResult& result) {
  const char* type = ProxyTypeName(result.route.type);
  j = {{"command", "telnet"},
       {"via_proxy", true},
       {"index", result.index},
       {"label", Utf8(result.label)},
       {"host", Utf8(result.host)},
       {"proxy",
        {{"type", type != nullptr ? json(type) : json(nullptr)},
         {"host", Utf8(result.route.host)},
         {"port", Utf8(result.route.port)},
         {"settings_file", NativeTextToUtf8(result.route.settingsPath)}}},
       {"answered", result.answered},
       {"interrupted", result.interrupted}};
  json attempts = json::array();
  for (const auto& [port, attempt] : result.attempts)
    attempts.push_back({{"port", port},
                        {"connected", attempt.verdict == ProxyVerdict::OpenViaProxy},
                        {"proxy_verdict", ProxyVerdictName(attempt.verdict)},
                        {"proxy_reason", Utf8(attempt.reason)},
                        {"ms", attempt.ms}});
  j["attempts"] = std::move(attempts);
  json lines = json::array();
  for (const std::string& line : result.lines) lines.push_back(Utf8(line));
  j["lines"] = std::move(lines);
}

void WriteHostLines(const Context& context, std::size_t count,
                    const std::function<const std::string&(std::size_t)>& label) {
  // A buffer of some pages written whenever it fills: a catalogue of 10,000 entries is neither
  // 10,000 stream insertions nor half a megabyte of fresh memory. The index and the tab are
  // ASCII, so each label converts on its own.
  constexpr std::size_t kChunkBytes = 64 * 1024;
  std::string lines;
  lines.reserve(kChunkBytes + 1024);
  std::array<char, 24> digits{};
  for (std::size_t i = 0; i < count; ++i) {
    lines.append(digits.data(), std::to_chars(digits.data(), digits.data() + digits.size(), i).ptr);
    lines += '\t';
    lines += ListLineText(context, label(i));
    lines += '\n';
    if (lines.size() >= kChunkBytes || i + 1 == count) {
      context.out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
      lines.clear();
    }
  }
  context.out.flush();
}

namespace {

void WriteText(const Context& context, const HostsResult& result) {
  WriteHostLines(context, result.hosts.size(),
                 [&](std::size_t i) -> const std::string& { return result.hosts[i].label; });
}

void WriteText(const Context& context, const PreferenceResult& result) {
  WriteLine(context, context.out, result.line);
}

void WriteText(const Context& context, const ProxySettingsResult& result) {
  context.out << "master copy (the dialog loads it): "
              << (context.utf8 ? NativeTextToUtf8(result.masterCopy) : result.masterCopy) << '\n';
  for (const ProxyFile& file : result.files) {
    // The path is already in the terminal's and the file system's encoding
    // (it was given or found that way), so it is written unconverted.
    context.out << (file.name == std::string("tool_settings") ? "tool settings"
                                                              : "base configuration")
                << ": " << (context.utf8 ? NativeTextToUtf8(file.path) : file.path) << '\n';
    for (const std::string& line : ProxyKeyLines(result, file))
      WriteListLine(context, context.out, line);
  }
  context.out.flush();
}

void WriteText(const Context& context, const SetPreferenceResult& result) {
  if (result.stored)
    WriteLine(context, context.out, result.line);
  else if (!result.saveError)
    WriteLine(context, context.err, result.refusal);
}

template <typename Result>
void RenderEither(const Context& context, const Result& result) {
  if (context.json) {
    WriteJson(context, json(result));
  } else {
    WriteText(context, result);
  }
}

}  // namespace

void Render(const Context& context, const HostsResult& result) { RenderEither(context, result); }
void Render(const Context& context, const PreferenceResult& result) {
  RenderEither(context, result);
}
void Render(const Context& context, const ProxySettingsResult& result) { RenderEither(context, result); }
void Render(const Context& context, const SetPreferenceResult& result) {
  RenderEither(context, result);
}
void Render(const Context& context, const ReportResult& result) {
  if (context.json) {
    WriteJson(context, json(result));
    return;
  }
  // UTF-8 on every platform: the lines are that already.
  for (const std::string& line : ReportTextLines(result)) context.out << line << '\n';
  context.out.flush();
}

void Render(const Context& context, const TestResult& result) {
  if (context.json) WriteJson(context, json(result));
}

}  // namespace rk::cli

// The shared results live in rk (runs/support_report.h): their JSON
// forms go beside them for argument-dependent lookup.
namespace rk {

using json = nlohmann::ordered_json;

namespace {

std::string Utf8(std::string_view cp950) { return Cp950ToUtf8(cp950); }

json PreferenceJson(const ConnectionPreference& record) {
  if (!record.IsValid()) return nullptr;
  return {{"location", Utf8(record.strLocation)},
          {"nm_port", record.nNmPort},
          {"ps_port", record.nPsPort}};
}

}  // namespace

void to_json(json& j, const HostsResult& result) {
  j = {{"client_root", NativeTextToUtf8(result.clientRoot)}, {"hosts", json::array()}};
  for (const HostRow& row : result.hosts)
    j["hosts"].push_back({{"index", row.index},
                          {"label", Utf8(row.label)},
                          {"host", Utf8(row.host)},
                          {"group", row.local ? "local" : "server"},
                          {"ports", row.ports}});
}

void to_json(json& j, const PreferenceResult& result) {
  j = {{"line", Utf8(result.line)},
       {"success", PreferenceJson(result.success)},
       {"priority", PreferenceJson(result.priority)}};
}

void to_json(json& j, const ProxySettingsResult& result) {
  j = {{"master_copy", NativeTextToUtf8(result.masterCopy)}, {"files", json::array()}};
  for (const ProxyFile& file : result.files) {
    const ProxySettings& s = file.settings;
    json stored = json::object();
    for (std::size_t i = 0; i < kProxyKeys.size(); ++i) stored[kProxyKeys[i]] = file.stored[i];
    j["files"].push_back({{"name", file.name},
                          {"path", NativeTextToUtf8(file.path)},
                          {"proxy_type", s.m_nProxyType},
                          {"proxy_server_name", Utf8(s.m_strProxyServerName)},
                          {"proxy_port", Utf8(s.m_strProxyPort)},
                          {"user_name", Utf8(s.m_strUserName)},
                          {"user_password_set", !s.m_strUserPassword.empty()},
                          {"socks_proxy_server_name", Utf8(s.m_strSocksProxyServerName)},
                          {"socks_proxy_port", Utf8(s.m_strSocksProxyPort)},
                          {"socks_user_name", Utf8(s.m_strSocksUserName)},
                          {"socks_user_password_set", !s.m_strSocksUserPassword.empty()},
                          {"stored", std::move(stored)}});
  }
}

void to_json(json& j, const ReportResult& result) {
  j = {{"generated", IsoUtc(result.generatedUnix)},
       {"local_offset", UtcOffsetText(result.localOffsetMinutes)},
       {"version", result.version},
       {"host_name", result.hostName},
       {"ipv4_addresses", result.ipv4Addresses},
       {"client_root", NativeTextToUtf8(result.clientRoot)},
       {"files", json::array()}};
  for (const ConfigFile& file : result.files)
    j["files"].push_back(
        {{"name", file.name},
         {"path", NativeTextToUtf8(file.path)},
         {"exists", file.facts.exists},
         {"unreadable", file.facts.unreadable.empty() ? json(nullptr) : json(file.facts.unreadable)},
         {"size", file.facts.exists ? json(file.facts.size) : json(nullptr)},
         {"modified", file.facts.exists ? json(IsoUtc(file.facts.modifiedUnix)) : json(nullptr)}});
  j["hosts"] = json(result.hosts)["hosts"];
  j["preference"] = result.preference;
  j["proxy"] = json(result.proxy)["files"];
  j["check"] = result.check ? cli::CheckJson(*result.check, result.clientRoot) : json(nullptr);
}

}  // namespace rk
