#include "runs/reachability_check.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
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
  ConnectSettlement settlement;  // once settled
  double ms = 0;
};

// Per address: the connects still out and what the diagnosis knows.
struct AddressState {
  std::size_t pending = 0;
  bool failed = false;
  bool answered = false;  // some connect had an answer (open, refused, unreachable)
  bool started = false;
  Clock::time_point firstStart = Clock::time_point::max();
};

// The diagnoses of the addresses not fully open, all ended by one deadline.
// * The path probe goes out paced, a few TTLs at a time, and stops after
//   three silent TTLs past the last answer. Routers ration their reports (one
//   a second after a short burst, shared by every probe and refusal they
//   answer for this machine), so a silent TTL is asked again a second later
//   with the next batch, and, while the path has not reached its end, up to
//   three times in all before it counts as silent.
// * Addresses where no connect had any answer ("silent") share one path
//   probe per /24: routers hear one probe per hop, not one per address, and
//   each still gets its own echo.
// * Plain echoes of all addresses go out in batches from one thread.
class DiagnosisPool {
 public:
  DiagnosisPool(EchoService& echo, const CheckOptions& options, const StopFlag* stop,
                Clock::time_point deadline)
      : echo_(echo), options_(options), stop_(stop), deadline_(deadline) {
    echoThread_ = std::thread([this] { EchoLoop(); });
  }
  DiagnosisPool(const DiagnosisPool&) = delete;
  DiagnosisPool& operator=(const DiagnosisPool&) = delete;
  ~DiagnosisPool() { Join(); }

  // `silent`: no connect to the address had any answer.
  void Start(uint32_t address, bool silent) {
    const std::lock_guard lock(mutex_);
    echoQueue_.push_back(address);
    echoWake_.notify_all();
    const uint32_t group = address & kPrefix24;  // network byte order: the first three bytes
    if (silent) {
      const auto [found, added] = groupPath_.try_emplace(group, address);
      pathOf_[address] = found->second;
      if (!added) return;
    } else {
      pathOf_[address] = address;
    }
    // At most maxConcurrentDiagnoses probes at once, by as many threads
    // taking the queued addresses in turn: a catalogue of any size never asks
    // for more threads than that.
    pathQueue_.push_back(address);
    if (pathWorkers_ >= std::max<std::size_t>(options_.maxConcurrentDiagnoses, 1)) return;
    ++pathWorkers_;
    paths_.emplace_back([this] {
      for (;;) {
        uint32_t next = 0;
        {
          const std::lock_guard taking(mutex_);
          if (Left(1) == 0) pathQueue_.clear();  // past the deadline: no probe is started
          if (pathQueue_.empty()) {
            --pathWorkers_;
            return;
          }
          next = pathQueue_.front();
          pathQueue_.pop_front();
        }
        PathProbe path = ProbePath(next);
        const std::lock_guard done(mutex_);
        ownPath_[next] = std::move(path);
      }
    });
  }

  void Join() {
    for (std::thread& thread : paths_)
      if (thread.joinable()) thread.join();
    paths_.clear();
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
      echoWake_.notify_all();
    }
    if (echoThread_.joinable()) echoThread_.join();
    // Each address with the path it shares.
    for (const auto& [address, source] : pathOf_) {
      AddressDiagnosis diagnosis;
      diagnosis.address = address;
      if (const auto echo = echoes_.find(address); echo != echoes_.end()) {
        diagnosis.echoAnswered = true;
        diagnosis.echoMs = echo->second;
      }
      const auto path = ownPath_.find(source);
      if (path == ownPath_.end()) continue;
      diagnosis.path = path->second;
      if (source != address) {
        // Another address's route: its routers hold for this one, its end does not.
        const uint32_t other = source;  // a structured binding cannot be captured everywhere
        std::erase_if(diagnosis.path.hops, [other](const PathHop& hop) { return hop.address == other; });
        diagnosis.path.targetReached = false;
        diagnosis.path.endsWithReport = false;
        diagnosis.path.lastTtl = diagnosis.path.hops.empty() ? 0 : diagnosis.path.hops.back().ttl;
      }
      results_[address] = std::move(diagnosis);
    }
  }

  [[nodiscard]] bool busy() const { return !paths_.empty(); }

  // After Join.
  [[nodiscard]] const std::map<uint32_t, AddressDiagnosis>& results() const { return results_; }
  [[nodiscard]] bool icmpRefused() const { return icmpRefused_.load(); }

 private:
  static constexpr uint32_t kPrefix24 = 0x00FFFFFFu;
  static constexpr int kTtlsAtOnce = 3;
  static constexpr int kSilentTtlsToStop = 3;
  static constexpr int kAsks = 3;  // sends of a TTL before it counts as silent
  static constexpr std::size_t kEchoesAtOnce = 256;
  static constexpr uint32_t kStepWaitMs = 1000;
  static constexpr auto kRefill = std::chrono::seconds(1);

  // Milliseconds left before the deadline, at most `cap`; 0 when stopped.
  [[nodiscard]] uint32_t Left(uint32_t cap) const {
    if (stop_ != nullptr && stop_->load()) return 0;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    return static_cast<uint32_t>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, cap));
  }

  bool Send(const std::vector<EchoRequest>& requests, std::vector<EchoResult>& answers, uint32_t waitMs) {
    answers.assign(requests.size(), EchoResult{kIpReqTimedOut, 0, 0});
    if (requests.empty() || waitMs == 0) return true;
    if (echo_.SendEchoBatch(requests, answers, waitMs, stop_)) return true;
    icmpRefused_ = true;
    return false;
  }

  void EchoLoop() {
    for (;;) {
      std::vector<uint32_t> batch;
      {
        std::unique_lock lock(mutex_);
        echoWake_.wait(lock, [this] { return closing_ || !echoQueue_.empty(); });
        if (echoQueue_.empty()) return;
        // A bounded batch each round: the deadline, not the queue's length,
        // decides how many addresses get their echo.
        const std::size_t take = std::min(echoQueue_.size(), kEchoesAtOnce);
        batch.assign(echoQueue_.begin(), echoQueue_.begin() + static_cast<std::ptrdiff_t>(take));
        echoQueue_.erase(echoQueue_.begin(), echoQueue_.begin() + static_cast<std::ptrdiff_t>(take));
      }
      std::vector<EchoRequest> requests;
      for (const uint32_t address : batch) requests.push_back({address, 0});
      std::vector<EchoResult> answers;
      if (!Send(requests, answers, Left(std::min(options_.echoTimeoutMs, kStepWaitMs)))) continue;
      const std::lock_guard lock(mutex_);
      for (std::size_t i = 0; i < batch.size(); ++i)
        if (answers[i].errorCode == 0 && answers[i].replyAddress == batch[i])
          echoes_[batch[i]] = answers[i].roundTripMs;
    }
  }

  PathProbe ProbePath(uint32_t address) {
    const int maxTtl = std::clamp(options_.maxTtl, 1, 255);
    std::vector<EchoResult> byTtl(static_cast<std::size_t>(maxTtl), EchoResult{kIpReqTimedOut, 0, 0});
    std::vector<Clock::time_point> sentAt(byTtl.size());
    const auto answered = [&](int ttl) { return byTtl[static_cast<std::size_t>(ttl - 1)].errorCode == 0; };
    const auto send = [&](const std::vector<int>& ttls) {
      std::vector<EchoRequest> requests;
      for (const int ttl : ttls) {
        requests.push_back({address, ttl});
        sentAt[static_cast<std::size_t>(ttl - 1)] = Clock::now();
      }
      std::vector<EchoResult> answers;
      const bool sent = Send(requests, answers, Left(kStepWaitMs));
      for (std::size_t i = 0; i < ttls.size(); ++i)
        if (answers[i].errorCode == 0) byTtl[static_cast<std::size_t>(ttls[i] - 1)] = answers[i];
      return sent;
    };
    // A silent TTL is asked again once the routers' budget has had time to
    // refill: with the next batch, and at the end (one answer there moves the
    // break). A path already ended asks its silent TTLs only once more, so a
    // router that never answers costs no extra wait.
    std::vector<int> asked(byTtl.size(), 0);
    int lastAnswered = 0;
    int lastAsked = 0;
    const auto retries = [&](bool waitForRefill, int maxAsks) {
      std::vector<int> again;
      Clock::time_point due = Clock::time_point::min();
      for (int ttl = 1; ttl <= lastAsked; ++ttl) {
        const auto i = static_cast<std::size_t>(ttl - 1);
        if (answered(ttl) || asked[i] >= maxAsks) continue;
        if (!waitForRefill && Clock::now() < sentAt[i] + kRefill) continue;
        again.push_back(ttl);
        due = std::max(due, sentAt[i] + kRefill);
      }
      while (waitForRefill && !again.empty() && Clock::now() < due && Left(1) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
      return again;
    };
    const auto step = [&](std::vector<int> ttls) {
      for (const int ttl : ttls) {
        ++asked[static_cast<std::size_t>(ttl - 1)];
        lastAsked = std::max(lastAsked, ttl);
      }
      if (!send(ttls)) return false;
      for (const int ttl : ttls)
        if (answered(ttl)) lastAnswered = std::max(lastAnswered, ttl);
      return true;
    };
    // Forward, a few TTLs at a time, until the path ends or falls silent.
    for (int first = 1; first <= maxTtl && Left(1) > 0; first += kTtlsAtOnce) {
      std::vector<int> ttls = retries(false, kAsks);
      for (int ttl = first; ttl < first + kTtlsAtOnce && ttl <= maxTtl; ++ttl) ttls.push_back(ttl);
      if (!step(ttls)) return {};
      const PathProbe sofar = ReadPath(address, byTtl);
      if (sofar.targetReached || sofar.endsWithReport) break;
      if (std::min(first + kTtlsAtOnce - 1, maxTtl) - lastAnswered >= kSilentTtlsToStop) break;
    }
    const PathProbe sofar = ReadPath(address, byTtl);
    const int finalAsks = sofar.targetReached || sofar.endsWithReport ? 2 : kAsks;
    if (const std::vector<int> again = retries(true, finalAsks); !again.empty() && Left(1) > 0)
      (void)step(again);
    return ReadPath(address, byTtl);
  }

  EchoService& echo_;
  const CheckOptions& options_;
  const StopFlag* stop_;
  const Clock::time_point deadline_;
  std::mutex mutex_;
  std::condition_variable echoWake_;
  std::deque<uint32_t> pathQueue_;  // addresses waiting for a path probe
  std::size_t pathWorkers_ = 0;     // threads taking from pathQueue_
  bool closing_ = false;
  std::deque<uint32_t> echoQueue_;  // taken from the front, a bounded batch at a time
  std::thread echoThread_;
  std::vector<std::thread> paths_;
  std::map<uint32_t, uint32_t> groupPath_;  // /24 of silent addresses -> the one probed
  std::map<uint32_t, uint32_t> pathOf_;     // address -> the address whose path it shares
  std::map<uint32_t, PathProbe> ownPath_;
  std::map<uint32_t, uint32_t> echoes_;     // answered echoes: address -> ms
  std::map<uint32_t, AddressDiagnosis> results_;
  std::atomic<bool> icmpRefused_{false};
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

namespace {

// The words of a look-up that gave no address.
std::string UnresolvedReason(const Lookup& lookup, uint32_t timeoutMs) {
  if (lookup.malformed) return "this is not a host name (not looked up)";
  if (!lookup.finished) return Format("the DNS server did not answer within %u ms", timeoutMs);
  switch (lookup.failure) {
    case LookupFailure::NoIPv4:
      return "the name has no IPv4 address";
    case LookupFailure::NoAnswer:
      return "the DNS server did not answer";
    case LookupFailure::NoSuchName:
    case LookupFailure::None:
      break;
  }
  return "the name does not exist (the DNS server says so)";
}

}  // namespace

CheckReport ReachabilityCheck::Run(const HostCatalogue& catalogue, const VerdictCallback& onVerdict,
                                   const StopFlag* stop, const WaitingCallback& onWaiting) {
  const Clock::time_point checkStart = Clock::now();
  CheckReport report;
  report.diagnosed = options_.diagnose;
  report.endpoints = CheckEndpoints(catalogue);

  // The whole check ends within two time-outs and a second: look-ups get one
  // time-out, their connects the other, the diagnosis what is left.
  const uint32_t timeoutMs = options_.connectTimeoutMs;
  const uint32_t lookupMs = std::min(options_.lookupTimeoutMs, timeoutMs);
  const Clock::time_point diagnosisDeadline =
      checkStart + std::chrono::milliseconds(lookupMs) + std::chrono::milliseconds(timeoutMs) +
      std::chrono::milliseconds(options_.diagnosisGraceMs);

  std::size_t delivered = 0;
  const auto deliver = [&](EndpointResult& endpoint) {
    ++delivered;
    ++report.counts[static_cast<std::size_t>(endpoint.verdict)];
    if (onVerdict) onVerdict(endpoint);
  };

  const auto give = [&](EndpointResult& endpoint, const Probe& probe) {
    endpoint.verdict = VerdictOf(probe.settlement.outcome);
    endpoint.ms = probe.ms;
    endpoint.unreachable = probe.settlement.unreachable;
    endpoint.reporter = probe.settlement.reporter;
    endpoint.reason = probe.settlement.reason;
    deliver(endpoint);
  };

  std::vector<std::string> hosts;
  hosts.reserve(report.endpoints.size());
  std::map<std::string, std::vector<std::size_t>> endpointsOf;
  for (std::size_t e = 0; e < report.endpoints.size(); ++e) {
    // An entry without a host is never looked up ("" would be this machine).
    if (report.endpoints[e].host.empty()) continue;
    hosts.push_back(report.endpoints[e].host);
    endpointsOf[report.endpoints[e].host].push_back(e);
  }
  ParallelLookup lookups(hosts, resolver_, lookupMs);

  std::vector<Probe> probes;
  std::map<std::pair<uint32_t, uint16_t>, std::size_t> probeOf;
  for (EndpointResult& endpoint : report.endpoints) {
    if (!endpoint.host.empty()) continue;
    endpoint.verdict = Verdict::NoHost;
    deliver(endpoint);
  }

  std::map<uint32_t, AddressState> addresses;
  // Verdicts known without a connect; the rest become probes.
  const auto resolvedHost = [&](const std::string& host, const Lookup& lookup) {
    for (const std::size_t e : endpointsOf[host]) {
      EndpointResult& endpoint = report.endpoints[e];
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
        endpoint.reason = UnresolvedReason(lookup, lookupMs);
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
                              : Format("port \"%s\" is not a number in 1..65535", endpoint.portText.c_str());
        deliver(endpoint);
        continue;
      }
      const auto key = std::make_pair(*lookup.address, static_cast<uint16_t>(endpoint.port));
      const auto [found, added] = probeOf.try_emplace(key, probes.size());
      if (added) {
        probes.push_back(Probe{key.first, key.second, {}, {}, false, {}, 0});
        ++addresses[key.first].pending;
      }
      Probe& probe = probes[found->second];
      probe.endpoints.push_back(e);
      // A name that resolved late onto an address:port already settled shares its verdict.
      if (probe.settled) give(endpoint, probe);
    }
  };

  const bool diagnose = options_.diagnose;
  bool icmpAsked = false;
  DiagnosisPool pool(echo_, options_, stop, diagnosisDeadline);
  const auto suspect = [&](uint32_t address, uint32_t reporter) {
    AddressState& state = addresses[address];
    if (state.started || !diagnose) return;
    if (!icmpAsked) {
      icmpAsked = true;
      report.icmpAvailable = echo_.Initialize();
    }
    if (!report.icmpAvailable) return;
    state.started = true;
    // A router's report already places the break: probing the path again
    // would only spend that router's few reports a second.
    if (reporter != 0) return;
    pool.Start(address, !state.answered);
  };

  // The connects: at most maxOpenSockets in flight, the rest queued.
  const std::size_t maxOpen = std::clamp<std::size_t>(options_.maxOpenSockets, 1, 256);
  const auto timeout = std::chrono::milliseconds(timeoutMs);
  const auto suspectAfter = std::chrono::milliseconds(options_.suspectAfterMs);
  ConnectBatch batch;
  std::size_t next = 0;
  const auto settle = [&](std::size_t tag, const ConnectSettlement& settlement) {
    Probe& probe = probes[tag];
    probe.settled = true;
    probe.settlement = settlement;
    probe.ms = TenthsOfMs(Clock::now() - probe.started);
    const Verdict verdict = VerdictOf(settlement.outcome);
    AddressState& state = addresses[probe.address];
    --state.pending;
    if (verdict != Verdict::Timeout && verdict != Verdict::Error) state.answered = true;
    if (IsFailure(verdict)) {
      state.failed = true;
      // A refusal comes from the host itself: it is reached, and neither its
      // cause nor the conclusion needs a probe of the road to it.
      if (verdict != Verdict::Refused)
        suspect(probe.address, verdict == Verdict::Unreachable ? settlement.reporter : 0);
    }
    for (const std::size_t e : probe.endpoints) give(report.endpoints[e], probe);
  };
  Clock::time_point lastProgress = Clock::now();
  Clock::time_point lastSuspectScan = Clock::now();
  while (!lookups.done() || next < probes.size() || !batch.idle()) {
    if (stop != nullptr && stop->load()) {
      lookups.Abandon();
      for (auto& [host, lookup] : lookups.Collect()) resolvedHost(host, lookup);
      break;
    }
    for (auto& [host, lookup] : lookups.Collect()) resolvedHost(host, lookup);
    while (next < probes.size() && batch.open() < maxOpen) {
      Probe& probe = probes[next];
      probe.started = Clock::now();
      AddressState& state = addresses[probe.address];
      state.firstStart = std::min(state.firstStart, probe.started);
      batch.Start(next, probe.address, probe.port, probe.started + timeout);
      ++next;
    }
    if (batch.idle() && next == probes.size())
      lookups.Wait(kStopPollMs);  // only look-ups are out
    else
      batch.Wait(lookups.done() ? kStopPollMs : kStopPollMs / 4, settle);
    const Clock::time_point now = Clock::now();
    if (onWaiting && now - lastProgress >= std::chrono::seconds(1)) {
      lastProgress = now;
      onWaiting(delivered, report.endpoints.size());
    }
    if (diagnose && now - lastSuspectScan >= std::chrono::milliseconds(kStopPollMs)) {
      lastSuspectScan = now;
      for (auto& [address, state] : addresses)
        if (state.pending > 0 && !state.started && state.firstStart != Clock::time_point::max() &&
            now - state.firstStart >= suspectAfter)
          suspect(address, 0);
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

  // The diagnoses end by their deadline; the progress line goes on meanwhile.
  std::atomic<bool> joined{false};
  std::thread ticker;
  if (onWaiting && pool.busy())
    ticker = std::thread([&] {
      while (!joined.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
        if (Clock::now() - lastProgress >= std::chrono::seconds(1) && !joined.load()) {
          lastProgress = Clock::now();
          onWaiting(delivered, report.endpoints.size());
        }
      }
    });
  pool.Join();
  joined = true;
  if (ticker.joinable()) ticker.join();
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

