#include "cli/results.h"

#include <nlohmann/json.hpp>
#include <string_view>

#include "base/codepage.h"
#include "base/format.h"
#include "cli/platform.h"
#include "config/host_catalogue.h"
#include "diagnostics/net_address.h"

namespace rk::cli {

using json = nlohmann::ordered_json;

namespace {

constexpr char kHiddenPassword[] = "********";

std::string Utf8(std::string_view cp950) { return Cp950ToUtf8(cp950); }

json PreferenceJson(const ConnectionPreference& record) {
  if (!record.IsValid()) return nullptr;
  return {{"location", Utf8(record.strLocation)},
          {"nm_port", record.nNmPort},
          {"ps_port", record.nPsPort}};
}

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

HostsResult CollectHosts(const Context& context) {
  const HostCatalogue catalogue = BuildHostCatalogue(context.profile, context.paths);
  HostsResult result{context.paths.root(), {}};
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    const HostEntry entry = catalogue.Entry(i);
    HostRow row{i, catalogue.labels[i], entry.host, entry.group == HostGroup::LocalSection, {}};
    if (!row.local)
      row.ports = catalogue.nmPorts;
    else if (entry.port != 0)
      row.ports.push_back(entry.port);
    result.hosts.push_back(std::move(row));
  }
  return result;
}

PreferenceResult CollectPreference(const Context& context) {
  PreferenceResult result;
  result.line = PreferenceLabelText(context.profile, context.paths);
  ReadConnectionPreference(result.success, false, context.profile, context.paths);
  ReadConnectionPreference(result.priority, true, context.profile, context.paths);
  return result;
}

ProxySettingsResult CollectProxy(const Context& context, bool showPasswords) {
  ProxySettingsResult result;
  result.showPasswords = showPasswords;
  result.masterCopy = FindProxyMasterCopy(context.profile, context.paths).masterPath;
  for (const auto& [name, path] : {std::pair{"tool_settings", context.paths.ToolSettingsPath()},
                                   std::pair{"base_configuration", context.paths.BaseConfigPath()}})
    result.files.push_back({name, path, LoadProxySettings(context.profile, path),
                            StoredProxyKeys(context.profile, path)});
  return result;
}

void WriteJson(const Context& context, const json& document) {
  context.out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  context.out.flush();
}

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

std::string IsoUtc(int64_t unixSeconds) {
  // Civil date from days since 1970-01-01 (proleptic Gregorian), so no
  // platform time function with its own range or locking is involved.
  int64_t days = unixSeconds / 86400;
  int64_t rest = unixSeconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return Format("%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day),
                static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                static_cast<long long>(rest % 60));
}

std::string UtcOffsetText(int minutes) {
  const int magnitude = minutes < 0 ? -minutes : minutes;
  return Format("%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
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
         {"size", file.facts.exists ? json(file.facts.size) : json(nullptr)},
         {"modified", file.facts.exists ? json(IsoUtc(file.facts.modifiedUnix)) : json(nullptr)}});
  j["hosts"] = json(result.hosts)["hosts"];
  j["preference"] = result.preference;
  j["proxy"] = json(result.proxy)["files"];
  j["check"] = result.check ? CheckJson(result.check->report, result.clientRoot, result.check->started)
                            : json(nullptr);
}

namespace {

void WriteText(const Context& context, const HostsResult& result) {
  // One buffered stream, flushed once: a large catalogue is not a write per line.
  for (const HostRow& row : result.hosts)
    WriteListLine(context, context.out, std::to_string(row.index) + "\t" + row.label);
  context.out.flush();
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
    for (std::size_t i = 0; i < kProxyKeys.size(); ++i) {
      const std::string key = kProxyKeys[i];
      if (!file.stored[i]) {
        WriteListLine(context, context.out, key + " (missing)");
        continue;
      }
      std::string value = file.settings.ValueText(i);
      // An empty password is shown as empty: whether one is set is what the
      // support desk asks, and it gives nothing away.
      const bool password = key == "UserPassword" || key == "SOCKSUserPassword";
      if (password && !result.showPasswords && !value.empty()) value = kHiddenPassword;
      WriteListLine(context, context.out, key + "=" + value);
    }
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
  std::ostream& out = context.out;
  out << "Reachkit support report\n"
      << "generated: " << IsoUtc(result.generatedUnix) << " (local offset "
      << UtcOffsetText(result.localOffsetMinutes) << ")\n"
      << "version: " << result.version << '\n'
      << "host name: " << result.hostName << '\n'
      << "IPv4 addresses:";
  for (const std::string& address : result.ipv4Addresses) out << ' ' << address;
  out << "\nclient root: " << NativeTextToUtf8(result.clientRoot) << "\n\nconfiguration files:\n";
  for (const ConfigFile& file : result.files) {
    out << "  " << file.name << ": " << NativeTextToUtf8(file.path);
    if (file.facts.exists)
      out << " (" << file.facts.size << " bytes, modified " << IsoUtc(file.facts.modifiedUnix) << ")\n";
    else
      out << " (missing)\n";
  }
  out << "\nhosts:\n";
  WriteText(context, result.hosts);
  out << "\npreference:\n";
  WriteText(context, result.preference);
  out << "\nproxy:\n";
  WriteText(context, result.proxy);
  out << "\ncheck of every endpoint:\n";
  if (result.check) {
    for (const std::string& line : CheckTextLines(result.check->report))
      WriteLine(context, out, line);
  } else {
    out << "no hosts to check\n";
  }
  out.flush();
}

void Render(const Context& context, const TestResult& result) {
  if (context.json) WriteJson(context, json(result));
}

}  // namespace rk::cli
