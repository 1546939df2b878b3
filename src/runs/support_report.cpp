#include "runs/support_report.h"

#include <ctime>
#include <set>
#include <utility>

#include "base/codepage.h"
#include "base/format.h"
#include "base/utc_time.h"
#include "config/host_catalogue.h"
#include "probes/net_address.h"

namespace rk {

namespace {

constexpr char kHiddenPassword[] = "********";

}  // namespace

HostsResult CollectHosts(ProfileStore& profile, const ClientPaths& paths) {
  HostCatalogue catalogue = BuildHostCatalogue(profile, paths);
  HostsResult result{paths.root(), {}};
  result.hosts.reserve(catalogue.size());
  const auto servers = static_cast<std::size_t>(catalogue.serverSectionCount);
  // The catalogue is not used after this: its texts move into the rows.
  for (std::size_t i = 0; i < catalogue.size(); ++i)
    result.hosts.push_back(HostRow{i, std::move(catalogue.labels[i]),
                                   std::move(catalogue.hostTexts[i]), i >= servers,
                                   catalogue.PortsOf(i)});
  return result;
}

PreferenceResult CollectPreference(ProfileStore& profile, const ClientPaths& paths) {
  PreferenceResult result;
  result.line = PreferenceLabelText(profile, paths);
  ReadConnectionPreference(result.success, false, profile, paths);
  ReadConnectionPreference(result.priority, true, profile, paths);
  return result;
}

ProxySettingsResult CollectProxy(ProfileStore& profile, const ClientPaths& paths,
                                 bool showPasswords) {
  ProxySettingsResult result;
  result.showPasswords = showPasswords;
  result.masterCopy = FindProxyMasterCopy(profile, paths).masterPath;
  for (const auto& [name, path] : {std::pair{"tool_settings", paths.ToolSettingsPath()},
                                   std::pair{"base_configuration", paths.BaseConfigPath()}})
    result.files.push_back(
        {name, path, LoadProxySettings(profile, path), StoredProxyKeys(profile, path)});
  return result;
}

std::vector<std::string> ProxyKeyLines(const ProxySettingsResult& result, const ProxyFile& file) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < kProxyKeys.size(); ++i) {
    const std::string key = kProxyKeys[i];
    if (!file.stored[i]) {
      lines.push_back(key + " (missing)");
      continue;
    }
    std::string value = file.settings.ValueText(i);
    // An empty password is shown as empty: whether one is set is what the
    // support desk asks, and it gives nothing away.
    const bool password = key == "UserPassword" || key == "SOCKSUserPassword";
    if (password && !result.showPasswords && !value.empty()) value = kHiddenPassword;
    lines.push_back(key + "=" + value);
  }
  return lines;
}

ReportResult CollectReport(ProfileStore& profile, const ClientPaths& paths, std::string version) {
  const std::time_t now = std::time(nullptr);
  ReportResult report;
  report.generatedUnix = static_cast<int64_t>(now);
  report.localOffsetMinutes = LocalOffsetMinutes(report.generatedUnix);
  report.version = std::move(version);
  report.hostName = MachineHostName();
  report.ipv4Addresses = MachineIPv4Addresses();
  report.clientRoot = paths.root();
  for (const auto& [name, path] :
       {std::pair{"quote_settings", paths.QuoteSettingsPath()},
        std::pair{"platform_settings", paths.SysFilePath("O_Tradedesk.ini")},
        std::pair{"host_file", paths.PlatformHostFilePath(profile)},
        std::pair{"base_configuration", paths.BaseConfigPath()},
        std::pair{"tool_settings", paths.ToolSettingsPath()}})
    report.files.push_back({name, path, ReadFileFacts(path)});
  report.hosts = CollectHosts(profile, paths);
  report.preference = CollectPreference(profile, paths);
  report.proxy = CollectProxy(profile, paths, false);
  return report;
}

int LocalOffsetMinutes(int64_t unixSeconds) {
  // The UTC clock fields read back as local time give the offset's opposite.
  const auto now = static_cast<std::time_t>(unixSeconds);
  std::tm utc{};
  if (const std::tm* fields = std::gmtime(&now)) utc = *fields;
  utc.tm_isdst = -1;
  const std::time_t utcAsLocal = std::mktime(&utc);
  if (utcAsLocal == static_cast<std::time_t>(-1)) return 0;
  return static_cast<int>(std::difftime(now, utcAsLocal) / 60);
}

std::string UtcOffsetText(int minutes) {
  const int magnitude = minutes < 0 ? -minutes : minutes;
  return Format("%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

std::vector<std::string> ReportTextLines(const ReportResult& result) {
  std::vector<std::string> lines{
      "Reachkit support report",
      "generated: " + IsoUtc(result.generatedUnix) + " (local offset " +
          UtcOffsetText(result.localOffsetMinutes) + ")",
      "version: " + result.version,
      "host name: " + result.hostName,
  };
  if (result.check && result.check->conclusion)
    lines.insert(lines.begin() + 1, ConclusionLine(*result.check->conclusion));
  std::string addresses = "IPv4 addresses:";
  for (const std::string& address : result.ipv4Addresses) addresses += " " + address;
  lines.push_back(std::move(addresses));
  if (result.check) {
    const NetworkFacts& network = result.check->network;
    std::string gateway = "default gateway: " + (network.gateway ? DottedIPv4(*network.gateway) : "none");
    if (network.gateway)
      gateway += !network.gatewayEchoed   ? " (not echoed: no failing endpoint's route goes through it)"
                 : network.gatewayAnswered ? Format(" (answers echo in %u ms)", network.gatewayMs)
                                           : std::string(" (does not answer echo)");
    lines.push_back(std::move(gateway));
    std::string servers = "DNS servers:";
    for (const std::string& server : network.dnsServers) servers += " " + server;
    if (network.dnsServers.empty()) servers += " none found";
    lines.push_back(std::move(servers));
    std::set<std::string> named;
    for (const EndpointResult& endpoint : result.check->report.endpoints)
      if (endpoint.lookupMs && named.insert(endpoint.host).second)
        lines.push_back(Format("name look-up: %s %s in %.1f ms", Cp950ToUtf8(endpoint.host).c_str(),
                               endpoint.address ? ("-> " + DottedIPv4(*endpoint.address)).c_str()
                                                : "failed",
                               *endpoint.lookupMs));
  }
  lines.push_back("client root: " + NativeTextToUtf8(result.clientRoot));
  lines.emplace_back("");
  lines.emplace_back("configuration files:");
  for (const ConfigFile& file : result.files) {
    std::string line = "  " + file.name + ": " + NativeTextToUtf8(file.path);
    if (file.facts.exists && !file.facts.unreadable.empty())
      line += " (unreadable: " + file.facts.unreadable + ")";
    else if (file.facts.exists)
      line += Format(" (%llu bytes, modified %s)", static_cast<unsigned long long>(file.facts.size),
                     IsoUtc(file.facts.modifiedUnix).c_str());
    else
      line += " (missing)";
    lines.push_back(std::move(line));
  }
  lines.emplace_back("");
  lines.emplace_back("hosts:");
  for (const HostRow& row : result.hosts.hosts)
    lines.push_back(std::to_string(row.index) + "\t" + Cp950ToUtf8(row.label));
  lines.emplace_back("");
  lines.emplace_back("preference:");
  lines.push_back(Cp950ToUtf8(result.preference.line));
  lines.emplace_back("");
  lines.emplace_back("proxy:");
  lines.push_back("master copy (the dialog loads it): " + NativeTextToUtf8(result.proxy.masterCopy));
  for (const ProxyFile& file : result.proxy.files) {
    lines.push_back(std::string(file.name == "tool_settings" ? "tool settings"
                                                             : "base configuration") +
                    ": " + NativeTextToUtf8(file.path));
    for (const std::string& line : ProxyKeyLines(result.proxy, file))
      lines.push_back(Cp950ToUtf8(line));
  }
  lines.emplace_back("");
  lines.emplace_back("check of every endpoint:");
  if (result.check) {
    // The settings file's path is native text, the table's other texts code
    // page 950: the heading's path goes in after the conversion.
    constexpr char kPathMark[] = "\x01path\x01";
    const std::string settingsPath =
        result.check->proxy ? NativeTextToUtf8(result.check->proxy->settingsPath) : std::string();
    for (const std::string& line : CheckTextLines(*result.check, kPathMark)) {
      std::string utf8 = Cp950ToUtf8(line);
      if (const auto at = utf8.find(kPathMark); at != std::string::npos)
        utf8.replace(at, sizeof kPathMark - 1, settingsPath);
      lines.push_back(std::move(utf8));
    }
  } else {
    lines.push_back(result.noCheck);
  }
  if (result.resultLines) {
    lines.emplace_back("");
    lines.push_back(Format("result list (%zu lines):", result.resultLines->size()));
    for (const std::string& line : *result.resultLines) lines.push_back(Cp950ToUtf8(line));
  }
  return lines;
}

}  // namespace rk
