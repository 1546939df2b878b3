#include "runs/check_all_work.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "base/texts.h"
#include "runs/check_all_lines.h"

namespace rk {

namespace {

// Pairs each endpoint's direct verdict with its proxied one and writes the
// line once both are in. Called from the check's thread and the proxied
// attempts' thread.
class LinePairing {
 public:
  LinePairing(const std::vector<EndpointResult>& endpoints, bool proxied, const LineWriter& append,
              const StopFlag& stop)
      : append_(append), stop_(stop), slots_(endpoints.size()) {
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
      const EndpointResult& endpoint = endpoints[i];
      slots_[i].waitsForProxy = proxied && UsablePort(endpoint.port);
      free_[{endpoint.index, endpoint.port}].push_back(i);
    }
  }

  static bool UsablePort(int32_t port) { return port >= 1 && port <= 65535; }

  void Direct(const EndpointResult& endpoint) {
    std::lock_guard lock(mutex_);
    auto found = free_.find({endpoint.index, endpoint.port});
    if (found == free_.end() || found->second.empty()) return;
    const std::size_t slot = found->second.front();
    found->second.erase(found->second.begin());
    slots_[slot].direct = endpoint;
    WriteIfComplete(slot);
  }

  void Proxied(std::size_t slot, const ProxyResult& result) {
    std::lock_guard lock(mutex_);
    slots_[slot].proxied = result;
    WriteIfComplete(slot);
  }

 private:
  struct Slot {
    bool waitsForProxy = false;
    std::optional<EndpointResult> direct;
    std::optional<ProxyResult> proxied;
  };

  void WriteIfComplete(std::size_t slot) {
    const Slot& s = slots_[slot];
    // A stopped run writes nothing more: its last verdicts are only "stopped".
    if (!s.direct || (s.waitsForProxy && !s.proxied) || stop_.load()) return;
    append_(EndpointLine(*s.direct, s.proxied ? &*s.proxied : nullptr));
  }

  const LineWriter& append_;
  const StopFlag& stop_;
  std::mutex mutex_;
  std::vector<Slot> slots_;                                             // guarded by mutex_
  std::map<std::pair<std::size_t, int32_t>, std::vector<std::size_t>> free_;  // guarded by mutex_
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

std::optional<CheckRun> RunCheckAll(const HostCatalogue& catalogue, const CheckAllSetup& setup,
                                    const LineWriter& append, const StopFlag& stop) {
  if (catalogue.empty()) {
    Conclusion none = Conclude({}, nullptr, std::nullopt, ReadConfigurationFacts(catalogue, {}), {});
    append(ConclusionWords(none));
    append(text::kNoHostsToCheck);
    return std::nullopt;
  }
  const std::vector<EndpointResult> endpoints = CheckEndpoints(catalogue);
  const bool viaProxy = setup.proxy.has_value() && setup.attempts;
  LinePairing pairing(endpoints, viaProxy, append, stop);

  // The proxied attempts: only endpoints with a usable port; slots[k] is the
  // endpoint of target k.
  std::vector<ProxyTarget> targets;
  std::vector<std::size_t> slots;
  for (std::size_t i = 0; viaProxy && i < endpoints.size(); ++i) {
    if (!LinePairing::UsablePort(endpoints[i].port)) continue;
    targets.push_back({endpoints[i].host, endpoints[i].port});
    slots.push_back(i);
  }
  std::vector<ProxyResult> proxied;
  std::thread proxyThread;
  if (!targets.empty()) {
    try {
      proxyThread = std::thread([&] {
        proxied = setup.attempts(
            targets, [&](std::size_t k, const ProxyResult& r) { pairing.Proxied(slots[k], r); },
            &stop);
      });
    } catch (const std::system_error&) {
      // No thread: the attempts run after the direct check instead.
    }
  }

  CheckRun run;
  run.started = std::chrono::system_clock::now();
  ReachabilityCheck check(setup.resolver, setup.echo, setup.options);
  run.report = check.Run(
      catalogue, [&pairing](const EndpointResult& endpoint) { pairing.Direct(endpoint); }, &stop);
  if (proxyThread.joinable())
    proxyThread.join();
  else if (!targets.empty())
    proxied = setup.attempts(
        targets, [&](std::size_t k, const ProxyResult& r) { pairing.Proxied(slots[k], r); }, &stop);
  if (stop.load()) return std::nullopt;

  if (viaProxy) {
    run.proxy = setup.proxy;
    // An endpoint without a usable port was not tried: the direct verdict says why.
    run.proxied.assign(run.report.endpoints.size(),
                       ProxyResult{ProxyVerdict::kError, "not tried: no port to connect to",
                                   setup.proxy->settingsPath, 0});
    for (std::size_t k = 0; k < slots.size() && k < proxied.size(); ++k)
      run.proxied[slots[k]] = proxied[k];
  }
  if (setup.readNetwork) run.network = setup.readNetwork();
  ProbeGateway(run.network, run.report, setup.echo, std::min(setup.options.echoTimeoutMs, kEchoTimeoutMs),
               &stop);
  if (stop.load()) return std::nullopt;
  ConcludeRun(run, ReadConfigurationFacts(catalogue, setup.proxy));
  for (std::string& line :
       ClosingLines(run.report, viaProxy ? &run.proxied : nullptr, &*run.conclusion))
    append(std::move(line));
  return run;
}

}  // namespace rk
