#include "runs/reachability_check.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "base/format.h"
#include "probes/parallel_lookup.h"
#include "runs/check_causes.h"

namespace rk {

namespace {

using Clock = std::chrono::steady_clock;

Verdict VerdictOf(ConnectOutcome outcome) {
  switch (outcome) {
    case ConnectOutcome::Open:
      return Verdict::Open;
    case ConnectOutcome::Refused:
      return Verdict::Refused;
    case ConnectOutcome::Timeout:
      return Verdict::Timeout;
    case ConnectOutcome::Unreachable:
      return Verdict::Unreachable;
    case ConnectOutcome::Error:
      break;
  }
  return Verdict::Error;
}

bool IsFailure(Verdict verdict) {
  return verdict == Verdict::Refused || verdict == Verdict::Timeout ||
         verdict == Verdict::Unreachable;
}


struct Probe {
  uint32_t address = 0;
  uint16_t port = 0;
  std::vector<std::size_t> endpoints;
  Clock::time_point started;
  bool settled = false;
};

// Per address: whether a diagnosis was started.
struct AddressState {
  std::size_t pending = 0;
  bool failed = false;
  bool started = false;
  Clock::time_point firstStart = Clock::time_point::max();
};

// Runs the diagnoses on threads of their own, at most `limit` at once.
class DiagnosisPool {
 public:
  DiagnosisPool(EchoService& echo, const CheckOptions& options, const StopFlag* stop)
      : echo_(echo), options_(options), stop_(stop) {}
  DiagnosisPool(const DiagnosisPool&) = delete;
  DiagnosisPool& operator=(const DiagnosisPool&) = delete;
  ~DiagnosisPool() { Join(); }

  void Start(uint32_t address) {
    threads_.emplace_back([this, address] {
      {
        std::unique_lock lock(mutex_);
        slotFree_.wait(lock, [this] { return running_ < std::max<std::size_t>(options_.maxConcurrentDiagnoses, 1); });
        ++running_;
      }
      Diagnose(address);
      const std::lock_guard lock(mutex_);
      --running_;
      slotFree_.notify_all();
    });
  }

  void Join() {
    for (std::thread& thread : threads_)
      if (thread.joinable()) thread.join();
    threads_.clear();
  }

  // After Join.
  [[nodiscard]] const std::map<uint32_t, AddressDiagnosis>& results() const { return results_; }
  [[nodiscard]] bool icmpRefused() const { return icmpRefused_; }

 private:
  void Diagnose(uint32_t address) {
    const int maxTtl = std::clamp(options_.maxTtl, 1, 255);
    std::vector<EchoRequest> requests;
    requests.push_back({address, 0});
    for (int ttl = 1; ttl <= maxTtl; ++ttl) requests.push_back({address, ttl});
    std::vector<EchoResult> answers(requests.size());
    if (!echo_.SendEchoBatch(requests, answers, options_.echoTimeoutMs, stop_)) {
      const std::lock_guard lock(mutex_);
      icmpRefused_ = true;
      return;
    }
    AddressDiagnosis diagnosis;
    diagnosis.address = address;
    diagnosis.echoAnswered = answers[0].errorCode == 0 && answers[0].replyAddress == address;
    diagnosis.echoMs = diagnosis.echoAnswered ? answers[0].roundTripMs : 0;
    diagnosis.path = ReadPath(address, {answers.begin() + 1, answers.end()});
    const std::lock_guard lock(mutex_);
    results_[address] = std::move(diagnosis);
  }

  EchoService& echo_;
  const CheckOptions& options_;
  const StopFlag* stop_;
  std::mutex mutex_;
  std::condition_variable slotFree_;
  std::size_t running_ = 0;
  std::vector<std::thread> threads_;
  std::map<uint32_t, AddressDiagnosis> results_;
  bool icmpRefused_ = false;
};

}  // namespace

const char* VerdictName(Verdict verdict) {
  static constexpr const char* kNames[kVerdictCount] = {
      "open",  "refused", "timeout", "unreachable", "unresolved",
      "no-port", "error", "no-host", "interrupted"};
  return kNames[static_cast<std::size_t>(verdict)];
}

std::vector<EndpointResult> CheckEndpoints(const HostCatalogue& catalogue) {
  std::vector<EndpointResult> endpoints;
  for (std::size_t i = 0; i < catalogue.size(); ++i) {
    const HostEntry entry = catalogue.Entry(i);
    std::vector<int32_t> ports;
    std::vector<std::string> typed;
    if (entry.group == HostGroup::ServerSection) {
      ports = catalogue.nmPorts;
      typed = catalogue.nmPortTexts;
    } else if (entry.port != 0 || !entry.portText.empty()) {
      ports.push_back(entry.port);
      typed.push_back(entry.portText);
    }
    if (ports.empty()) ports.push_back(0);  // one line saying there is no port
    for (std::size_t p = 0; p < ports.size(); ++p) {
      EndpointResult endpoint;
      endpoint.index = i;
      endpoint.label = entry.label;
      endpoint.host = entry.host;
      endpoint.port = ports[p];
      if (p < typed.size()) endpoint.portText = typed[p];
      endpoints.push_back(std::move(endpoint));
    }
  }
  return endpoints;
}

CheckReport ReachabilityCheck::Run(const HostCatalogue& catalogue, const VerdictCallback& onVerdict,
                                   const StopFlag* stop, const WaitingCallback& onWaiting) {
  const Clock::time_point checkStart = Clock::now();
  CheckReport report;
  report.diagnosed = options_.diagnose;

  report.endpoints = CheckEndpoints(catalogue);

  Clock::time_point lastNews = Clock::now();
  const auto deliver = [&](EndpointResult& endpoint) {
    lastNews = Clock::now();
    ++report.counts[static_cast<std::size_t>(endpoint.verdict)];
    if (onVerdict) onVerdict(endpoint);
  };

  std::vector<std::string> hosts;
  hosts.reserve(report.endpoints.size());
  for (const EndpointResult& endpoint : report.endpoints)
    if (!endpoint.host.empty()) hosts.push_back(endpoint.host);
  const std::map<std::string, Lookup> resolved =
      ResolveAll(hosts, resolver_, options_.lookupTimeoutMs, stop);

  // Verdicts known before any connect; the rest become probes.
  std::vector<Probe> probes;
  std::map<std::pair<uint32_t, uint16_t>, std::size_t> probeOf;
  for (std::size_t e = 0; e < report.endpoints.size(); ++e) {
    EndpointResult& endpoint = report.endpoints[e];
    if (endpoint.host.empty()) {
      endpoint.verdict = Verdict::NoHost;
      deliver(endpoint);
      continue;
    }
    const Lookup& lookup = resolved.at(endpoint.host);
    if (!lookup.malformed && !ParseNumericIPv4(endpoint.host)) endpoint.lookupMs = lookup.ms;
    if (!lookup.address && !lookup.finished && stop != nullptr && stop->load()) {
      endpoint.verdict = Verdict::Interrupted;
      endpoint.ms = lookup.ms;
      deliver(endpoint);
      continue;
    }
    if (!lookup.address) {
      endpoint.verdict = Verdict::Unresolved;
      endpoint.ms = lookup.ms;
      endpoint.reason = lookup.malformed  ? std::string("this is not a host name (not looked up)")
                        : lookup.finished ? std::string("the name does not resolve")
                                          : Format("the name look-up took longer than %u ms",
                                     static_cast<unsigned>(options_.lookupTimeoutMs));
      deliver(endpoint);
      continue;
    }
    endpoint.address = lookup.address;
    if (endpoint.port == 0 && endpoint.portText.empty()) {
      endpoint.verdict = Verdict::NoPort;
      deliver(endpoint);
      continue;
    }
    // A port typed with other than digits is no port, whatever the client's
    // arithmetic makes of it.
    const bool typedNumber = std::all_of(endpoint.portText.begin(), endpoint.portText.end(),
                                         [](char c) { return c >= '0' && c <= '9'; });
    if (endpoint.port < 1 || endpoint.port > 65535 || !typedNumber) {
      endpoint.verdict = Verdict::Error;
      endpoint.reason = endpoint.portText.empty()
                            ? Format("port %d is outside 1..65535", endpoint.port)
                            : Format("port \"%s\" is not a number in 1..65535",
                                     endpoint.portText.c_str());
      deliver(endpoint);
      continue;
    }
    const auto key = std::make_pair(*lookup.address, static_cast<uint16_t>(endpoint.port));
    const auto [found, added] = probeOf.try_emplace(key, probes.size());
    if (added) probes.push_back(Probe{key.first, key.second, {}, {}, false});
    probes[found->second].endpoints.push_back(e);
  }

  std::map<uint32_t, AddressState> addresses;
  for (const Probe& probe : probes) ++addresses[probe.address].pending;
  const bool diagnose = options_.diagnose && !probes.empty();
  report.icmpAvailable = !diagnose || echo_.Initialize();
  DiagnosisPool pool(echo_, options_, stop);
  const auto suspect = [&](uint32_t address) {
    AddressState& state = addresses[address];
    if (state.started || !diagnose || !report.icmpAvailable) return;
    state.started = true;
    pool.Start(address);
  };

  // The connects: at most maxOpenSockets in flight, the rest queued.
  const std::size_t maxOpen = std::clamp<std::size_t>(options_.maxOpenSockets, 1, 256);
  const auto timeout = std::chrono::milliseconds(options_.connectTimeoutMs);
  const auto suspectAfter = std::chrono::milliseconds(options_.suspectAfterMs);
  ConnectBatch batch;
  std::size_t next = 0;
  const auto settle = [&](std::size_t tag, const ConnectSettlement& settlement) {
    Probe& probe = probes[tag];
    probe.settled = true;
    const double ms = TenthsOfMs(Clock::now() - probe.started);
    const Verdict verdict = VerdictOf(settlement.outcome);
    AddressState& state = addresses[probe.address];
    --state.pending;
    if (IsFailure(verdict)) {
      state.failed = true;
      suspect(probe.address);
    }
    for (const std::size_t e : probe.endpoints) {
      EndpointResult& endpoint = report.endpoints[e];
      endpoint.verdict = verdict;
      endpoint.ms = ms;
      endpoint.unreachable = settlement.unreachable;
      endpoint.reporter = settlement.reporter;
      endpoint.reason = settlement.reason;
      deliver(endpoint);
    }
  };
  Clock::time_point lastSuspectScan = Clock::now();
  while (next < probes.size() || !batch.idle()) {
    if (stop != nullptr && stop->load()) break;
    while (next < probes.size() && batch.open() < maxOpen) {
      Probe& probe = probes[next];
      probe.started = Clock::now();
      AddressState& state = addresses[probe.address];
      state.firstStart = std::min(state.firstStart, probe.started);
      batch.Start(next, probe.address, probe.port, probe.started + timeout);
      ++next;
    }
    batch.Wait(kStopPollMs, settle);
    const Clock::time_point now = Clock::now();
    if (onWaiting && now - lastNews >= std::chrono::seconds(1)) {
      lastNews = now;
      std::size_t waiting = 0;
      for (const auto& [address, state] : addresses) waiting += state.pending;
      onWaiting(waiting);
    }
    if (diagnose && now - lastSuspectScan >= std::chrono::milliseconds(kStopPollMs)) {
      lastSuspectScan = now;
      for (auto& [address, state] : addresses)
        if (state.pending > 0 && !state.started && state.firstStart != Clock::time_point::max() &&
            now - state.firstStart >= suspectAfter)
          suspect(address);
    }
  }
  // Stopped: what never settled is interrupted, not a time-out.
  for (Probe& probe : probes) {
    if (probe.settled) continue;
    probe.settled = true;
    const double ms = probe.started == Clock::time_point{} ? 0 : TenthsOfMs(Clock::now() - probe.started);
    for (const std::size_t e : probe.endpoints) {
      EndpointResult& endpoint = report.endpoints[e];
      endpoint.verdict = Verdict::Interrupted;
      endpoint.ms = ms;
      deliver(endpoint);
    }
  }
  for (const EndpointResult& endpoint : report.endpoints)
    if (endpoint.verdict == Verdict::Interrupted) report.interrupted = true;

  pool.Join();
  if (pool.icmpRefused()) report.icmpAvailable = false;
  // Diagnoses of addresses that turned out fully open are dropped.
  for (const Probe& probe : probes) {
    const AddressState& state = addresses[probe.address];
    if (!state.failed) continue;
    const auto found = pool.results().find(probe.address);
    if (found == pool.results().end()) continue;
    const bool listed = std::any_of(report.addresses.begin(), report.addresses.end(),
                                    [&](const AddressDiagnosis& d) { return d.address == probe.address; });
    if (!listed) report.addresses.push_back(found->second);
  }
  for (EndpointResult& endpoint : report.endpoints) {
    const AddressDiagnosis* diagnosis = nullptr;
    if (endpoint.address) {
      const auto found = pool.results().find(*endpoint.address);
      if (found != pool.results().end()) diagnosis = &found->second;
    }
    endpoint.cause = CauseOf(endpoint, diagnosis, report.icmpAvailable);
  }
  report.durationMs = TenthsOfMs(Clock::now() - checkStart);
  return report;
}

}  // namespace rk

