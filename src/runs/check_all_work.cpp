#include "runs/check_all_work.h"

#include <algorithm>
#include <map>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

namespace rk {

namespace {

// The check reports an endpoint by its entry and port; the slot is its place
// in CheckEndpoints. Entries may share a port list, so each (entry, port)
// takes its slots in order.
class SlotFinder {
 public:
  explicit SlotFinder(const std::vector<EndpointResult>& endpoints) {
    for (std::size_t i = 0; i < endpoints.size(); ++i)
      free_[{endpoints[i].index, endpoints[i].port}].push_back(i);
  }
  std::optional<std::size_t> Take(const EndpointResult& endpoint) {
    auto found = free_.find({endpoint.index, endpoint.port});
    if (found == free_.end() || found->second.empty()) return std::nullopt;
    const std::size_t slot = found->second.front();
    found->second.erase(found->second.begin());
    return slot;
  }

 private:
  std::map<std::pair<std::size_t, int32_t>, std::vector<std::size_t>> free_;
};

}  // namespace

ProxyAttempts ConnectorAttempts(const ProxyRoute& route, NameResolver& resolver,
                                uint32_t timeoutMs) {
  return [connector = std::make_shared<const ProxyConnector>(route, resolver, timeoutMs)](
             const std::vector<ProxyTarget>& targets,
             const ProxyConnector::ResultCallback& onResult, const StopFlag* stop) {
    return connector->ConnectAll(targets, onResult, stop);
  };
}

CheckRun RunCheckEach(const HostCatalogue& catalogue, const CheckAllSetup& setup,
                      const CheckEvents& events, const StopFlag& stop) {
  const std::vector<EndpointResult> endpoints = CheckEndpoints(catalogue);
  const bool viaProxy = setup.proxy.has_value() && setup.attempts;

  // The proxied attempts: only endpoints with a usable port; slots[k] is the
  // endpoint of target k.
  std::vector<ProxyTarget> targets;
  std::vector<std::size_t> slots;
  for (std::size_t i = 0; viaProxy && i < endpoints.size(); ++i) {
    if (!TriedViaProxy(endpoints[i].port)) continue;
    targets.push_back({endpoints[i].host, endpoints[i].port});
    slots.push_back(i);
  }
  const auto onProxied = [&](std::size_t k, const ProxyResult& r) {
    if (events.proxied) events.proxied(slots[k], r);
  };
  std::vector<ProxyResult> proxied;
  std::thread proxyThread;
  if (!targets.empty()) {
    try {
      proxyThread = std::thread([&] { proxied = setup.attempts(targets, onProxied, &stop); });
    } catch (const std::system_error&) {
      // No thread: the attempts run after the direct check instead.
    }
  }

  CheckRun run;
  run.started = std::chrono::system_clock::now();
  ReachabilityCheck check(setup.resolver, setup.echo, setup.options);
  SlotFinder finder(endpoints);  // the check's thread only
  run.report = check.Run(
      catalogue,
      [&](const EndpointResult& endpoint) {
        if (const std::optional<std::size_t> slot = finder.Take(endpoint); slot && events.direct)
          events.direct(*slot, endpoint);
      },
      &stop);
  if (proxyThread.joinable())
    proxyThread.join();
  else if (!targets.empty())
    proxied = setup.attempts(targets, onProxied, &stop);

  if (viaProxy) {
    run.proxy = setup.proxy;
    // An endpoint without a usable port was not tried: the direct verdict says why.
    run.proxied.assign(run.report.endpoints.size(),
                       ProxyResult{ProxyVerdict::Error, "not tried: no port to connect to",
                                   setup.proxy->settingsPath, 0});
    for (std::size_t k = 0; k < slots.size() && k < proxied.size(); ++k)
      run.proxied[slots[k]] = proxied[k];
  }
  if (setup.readNetwork) run.network = setup.readNetwork();
  ProbeGateway(run.network, run.report, setup.echo, std::min(setup.options.echoTimeoutMs, kEchoTimeoutMs),
               &stop);
  if (!stop.load()) ConcludeRun(run, ReadConfigurationFacts(catalogue, setup.proxy));
  return run;
}

}  // namespace rk
