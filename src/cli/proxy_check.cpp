#include "cli/proxy_check.h"

#include <algorithm>
#include <mutex>

#include "base/codepage.h"
#include "base/format.h"

namespace rk::cli {

std::optional<ProxyRoute> StoredProxyOrSay(const Context& context) {
  ProxyRoute route = StoredProxyRoute(context.profile, context.paths);
  if (ProxyTypeName(route.type) == nullptr) {
    (void)NoProxyStored(context, route);
    return std::nullopt;
  }
  return route;
}

std::vector<ProxyResult> RunProxiedCheck(const Context& context, const ProxyRoute& route,
                                         const std::vector<ProxyTarget>& targets,
                                         const std::vector<std::size_t>& indexes,
                                         const std::vector<std::string>& labels,
                                         uint32_t timeoutMs, bool printLines) {
  if (printLines)
    WriteLine(context, context.out,
              Format("through the %s proxy %s:%s (%s):", ProxyTypeName(route.type),
                     route.host.c_str(), route.port.c_str(), route.settingsPath.c_str()));
  const ProxyConnector connector(route, SystemNameResolver(), timeoutMs);
  // Columns as wide as the direct table's (code page 950 bytes are columns), so the two line up.
  std::size_t labelWidth = 12;
  for (const std::string& label : labels) labelWidth = std::max(labelWidth, label.size());
  const int width = static_cast<int>(std::min<std::size_t>(labelWidth, 48));
  ProxyConnector::ResultCallback onResult;
  if (printLines)
    onResult = [&](std::size_t i, const ProxyResult& result) {
      const std::string endpoint = Format("%s:%d", targets[i].host.c_str(), targets[i].port);
      WriteLine(context, context.out,
                Format("%-4zu %-*s %-22s %-20s %.1f ms  %s", indexes.at(i), width,
                       labels.at(i).c_str(), endpoint.c_str(), ProxyVerdictName(result.verdict),
                       result.ms, result.reason.c_str()));
    };
  return connector.ConnectAll(targets, onResult, &context.interrupted);
}

nlohmann::ordered_json WithProxyVerdicts(nlohmann::ordered_json check, const ProxyRoute& route,
                                         const std::vector<ProxyResult>& results) {
  nlohmann::ordered_json& endpoints = check["endpoints"];
  for (std::size_t i = 0; i < results.size() && i < endpoints.size(); ++i) {
    endpoints[i]["proxy_verdict"] = ProxyVerdictName(results[i].verdict);
    endpoints[i]["proxy_reason"] = results[i].reason;
  }
  nlohmann::ordered_json document{
      {"proxy",
       {{"type", ProxyTypeName(route.type)},
        {"host", Cp950ToUtf8(route.host)},
        {"port", Cp950ToUtf8(route.port)},
        {"settings_file", Cp950ToUtf8(route.settingsPath)}}}};
  for (auto& [key, value] : check.items()) document[key] = std::move(value);
  return document;
}

}  // namespace rk::cli
