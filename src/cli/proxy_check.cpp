#include "cli/proxy_check.h"

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
  ProxyConnector::ResultCallback onResult;
  if (printLines)
    onResult = [&](std::size_t i, const ProxyResult& result) {
      WriteLine(context, context.out,
                Format("%-4zu %s %s:%d %s %.1f ms  %s", indexes.at(i), labels.at(i).c_str(),
                       targets[i].host.c_str(), targets[i].port, ProxyVerdictName(result.verdict),
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
