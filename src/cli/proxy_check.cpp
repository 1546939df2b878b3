#include "cli/proxy_check.h"

namespace rk::cli {

std::optional<ProxyRoute> StoredProxyOrSay(const Context& context) {
  ProxyRoute route = StoredProxyRoute(context.profile, context.paths);
  if (!IsProxyStored(route.type)) {
    (void)NoProxyStored(context, route);
    return std::nullopt;
  }
  return route;
}

std::optional<ProxyRoute> StoredProxy(const Context& context) {
  ProxyRoute route = StoredProxyRoute(context.profile, context.paths);
  if (!IsProxyStored(route.type)) return std::nullopt;
  return route;
}

}  // namespace rk::cli
