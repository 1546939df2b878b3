#pragma once
#include <optional>

#include "cli/cli.h"
#include "probes/proxy_connector.h"

namespace rk::cli {

// The proxy the client has stored, or nullopt after NoProxyStored's line.
[[nodiscard]] std::optional<ProxyRoute> StoredProxyOrSay(const Context& context);

// The proxy the client has stored, or nullopt when its type is not 1..4
// (nothing said: the report simply has no proxied check then).
[[nodiscard]] std::optional<ProxyRoute> StoredProxy(const Context& context);

}  // namespace rk::cli
