#pragma once
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "diagnostics/proxy_connector.h"

namespace rk::cli {

// The proxy the client has stored, or nullopt after NoProxyStored's line.
[[nodiscard]] std::optional<ProxyRoute> StoredProxyOrSay(const Context& context);

// Every target through `route` at once. In text mode (`printLines`) a
// heading naming the proxy and one line per target as its verdict arrives:
// index, label, host:port, verdict, time, reason. `labels` and `indexes`
// run parallel to `targets`.
[[nodiscard]] std::vector<ProxyResult> RunProxiedCheck(const Context& context,
                                                       const ProxyRoute& route,
                                                       const std::vector<ProxyTarget>& targets,
                                                       const std::vector<std::size_t>& indexes,
                                                       const std::vector<std::string>& labels,
                                                       uint32_t timeoutMs, bool printLines);

// The check's document with "proxy" {"type", "host", "port",
// "settings_file"} first (never a login) and "proxy_verdict" and
// "proxy_reason" in each of its "endpoints", whose order `results` follows.
[[nodiscard]] nlohmann::ordered_json WithProxyVerdicts(nlohmann::ordered_json check,
                                                       const ProxyRoute& route,
                                                       const std::vector<ProxyResult>& results);

}  // namespace rk::cli
