#pragma once
// What the window's check of every host does on its worker: the direct check
// and, when a proxy is stored, every endpoint through that proxy, both at
// once; each verdict is handed on as it arrives (the check window fills its
// rows from them).
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "config/host_catalogue.h"
#include "runs/check_table.h"
#include "runs/conclusion.h"
#include "probes/proxy_connector.h"
#include "runs/reachability_check.h"
#include "probes/stop_flag.h"
#include "runs/probe_target.h"

namespace rk {

// Tries every target through the proxy; as ProxyConnector::ConnectAll.
using ProxyAttempts = std::function<std::vector<ProxyResult>(
    const std::vector<ProxyTarget>& targets, const ProxyConnector::ResultCallback& onResult,
    const StopFlag* stop)>;

// Attempts through a ProxyConnector over `route`.
[[nodiscard]] ProxyAttempts ConnectorAttempts(const ProxyRoute& route, NameResolver& resolver,
                                              uint32_t timeoutMs);

struct CheckAllSetup {
  NameResolver& resolver;  // not owned
  EchoService& echo;       // not owned
  CheckOptions options;
  std::optional<ProxyRoute> proxy;  // a stored proxy of type 1..4, or none
  ProxyAttempts attempts;           // through `proxy`; unused without it
  // The machine's routes and DNS servers, read after the check; the
  // gateway is then echoed through `echo` when a failing endpoint's route
  // goes through it.
  std::function<NetworkFacts()> readNetwork = ReadNetworkFacts;
};

// What a check of every host reports as it goes, by slot: the index of the
// endpoint in CheckEndpoints(catalogue). `direct` is called on the check's
// thread, `proxied` on the proxied attempts' thread: the two may overlap.
struct CheckEvents {
  std::function<void(std::size_t slot, const EndpointResult& endpoint)> direct;
  std::function<void(std::size_t slot, const ProxyResult& result)> proxied;
};

// Whether an endpoint with this port is tried through the proxy.
[[nodiscard]] inline bool TriedViaProxy(int32_t port) { return port >= 1 && port <= 65535; }

// Runs the check of every host of `catalogue` (not empty), each verdict
// through `events` as it arrives, the proxied attempts (with a proxy) on a
// thread of their own alongside the direct check. Both end their waits when
// `stop` is set and have ended when this returns. Returns what was found,
// also when stopped (the caller decides what a stopped run is worth).
[[nodiscard]] CheckRun RunCheckEach(const HostCatalogue& catalogue, const CheckAllSetup& setup,
                                    const CheckEvents& events, const StopFlag& stop);

}  // namespace rk
