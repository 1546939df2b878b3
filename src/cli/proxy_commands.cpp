// The connection test through the proxy the client has stored.
#include <string>

#include "base/format.h"
#include "base/texts.h"
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/results.h"
#include "config/host_catalogue.h"
#include "probes/proxy_connector.h"

namespace rk::cli {

namespace {

constexpr char kViaProxyHeaderFormat[] = "Telnet %s [via %s proxy %s:%s, %s]";
constexpr char kVerdictFormat[] = "  %s: %s";

}  // namespace

int NoProxyStored(const Context& context, const ProxyRoute& route) {
  WriteLine(context, context.err,
            Format("no proxy is stored in %s (ProxyType %d; 1..4 name a proxy)",
                   route.settingsPath.c_str(), route.type));
  return kExitNoProxy;
}

int RunTelnetViaProxy(const Context& context, const HostCatalogue& catalogue, std::size_t index) {
  const ProxyRoute route = StoredProxyRoute(context.profile, context.paths);
  if (!IsProxyStored(route.type)) return NoProxyStored(context, route);

  const HostEntry entry = catalogue.Entry(index);
  const std::vector<int32_t> ports = catalogue.PortsOf(index);
  ProxiedTelnetResult result;
  result.index = index;
  result.label = entry.label;
  result.host = entry.host;
  result.route = route;
  // Text: each line as it comes; JSON: the document at the end.
  const auto line = [&](std::string text) {
    if (!context.json) WriteLine(context, context.out, text);
    result.lines.push_back(std::move(text));
  };
  // The name goes to the proxy as configured (a SOCKS4 proxy gets the
  // address, looked up here); the lines name the host as the proxy got it.
  line(Format(kViaProxyHeaderFormat, entry.host.c_str(), ProxyTypeName(route.type),
              route.host.c_str(), route.port.c_str(), route.settingsPath.c_str()));
  const ProxyConnector connector(route, SystemNameResolver());
  for (const int32_t port : ports) {
    const ProxyResult attempt = connector.Connect({entry.host, port}, &context.interrupted);
    if (context.interrupted.load()) {
      result.interrupted = true;
      break;
    }
    result.attempts.emplace_back(port, attempt);
    const bool open = attempt.verdict == ProxyVerdict::OpenViaProxy;
    line(Format(open ? text::kConnectSucceededFormat : text::kConnectFailedFormat, entry.host.c_str(),
                port));
    line(Format(kVerdictFormat, ProxyVerdictName(attempt.verdict), attempt.reason.c_str()));
    if (open) {  // as in the window: the first port that connects ends the test
      result.answered = true;
      break;
    }
  }
  if (context.json) WriteJson(context, nlohmann::ordered_json(result));
  return result.interrupted ? kExitInterrupted : result.answered ? kExitOk : kExitFailed;
}

}  // namespace rk::cli
