// The connection test through the proxy the client has stored.
#include <string>

#include "base/format.h"
#include "base/texts.h"
#include "cli/cli.h"
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
  // The name goes to the proxy as configured (a SOCKS4 proxy gets the
  // address, looked up here); the lines name the host as the proxy got it.
  WriteLine(context, context.out,
            Format(kViaProxyHeaderFormat, entry.host.c_str(), ProxyTypeName(route.type),
                   route.host.c_str(), route.port.c_str(), route.settingsPath.c_str()));
  const ProxyConnector connector(route, SystemNameResolver());
  for (const int32_t port : ports) {
    const ProxyResult result = connector.Connect({entry.host, port}, &context.interrupted);
    if (context.interrupted.load()) return kExitInterrupted;
    const bool open = result.verdict == ProxyVerdict::OpenViaProxy;
    WriteLine(context, context.out,
              Format(open ? text::kConnectSucceededFormat : text::kConnectFailedFormat,
                     entry.host.c_str(), port));
    WriteLine(context, context.out,
              Format(kVerdictFormat, ProxyVerdictName(result.verdict), result.reason.c_str()));
    if (open) return kExitOk;  // as in the window: the first port that connects ends the test
  }
  return kExitFailed;
}

}  // namespace rk::cli
