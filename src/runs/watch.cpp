#include "runs/watch.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "base/format.h"
#include "probes/connect_batch.h"
#include "probes/idle_connection.h"
#include "probes/parallel_lookup.h"
#include "runs/conclusion.h"
#include "runs/openmetrics.h"
#include "runs/reachability_check.h"
#include "runs/watch_core.h"
#include "runs/watch_log.h"

namespace rk {

namespace {

using Steady = std::chrono::steady_clock;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const char* ConnectVerdictName(ConnectOutcome outcome) {
  switch (outcome) {
    case ConnectOutcome::Open: return "open";
    case ConnectOutcome::Refused: return "refused";
    case ConnectOutcome::Timeout: return "timeout";
    case ConnectOutcome::Unreachable: return "unreachable";
    case ConnectOutcome::Error: break;
  }
  return "error";
}

bool IsLoopbackAddress(uint32_t networkOrder) {
  return (reinterpret_cast<const unsigned char*>(&networkOrder)[0]) == 127;
}

}  // namespace

std::optional<std::string> WatchOptionsProblem(const WatchOptions& options) {
  if (options.intervalMs == 0) return std::string("the interval must be at least 1 ms");
  if (options.echoIntervalMs == 0) return std::string("the echo interval must be at least 1 ms");
  if (options.connectTimeoutMs == 0) return std::string("the connect time-out must be at least 1 ms");
  if (options.echoTimeoutMs == 0) return std::string("the echo time-out must be at least 1 ms");
  if (options.maxOpenSockets == 0 || options.maxOpenSockets > kWatchMaxSockets)
    return Format("the socket limit must be 1..%zu", kWatchMaxSockets);
  if (!options.openMetricsPath.empty() && !EndsWith(options.openMetricsPath, ".prom"))
    return std::string("the OpenMetrics file's name must end in .prom (the collector reads only those)");
  if (options.openMetricsEveryMs == 0) return std::string("the OpenMetrics period must be at least 1 ms");
  if (options.proxy)
    if (const auto problem = RouteProblem(*options.proxy)) return "the stored proxy cannot be used: " + *problem;
  if (options.logRollBytes < 4096) return std::string("the log's roll-over size must be at least 4096 bytes");
  return std::nullopt;
}

struct Watch::Engine {
  Engine(const WatchOptions& watchOptions, NameResolver& nameResolver, EchoService& echoService)
      : options(watchOptions), resolver(nameResolver), echo(echoService) {}

  struct EchoDone {
    uint32_t address;
    WatchTime sent;
    bool answered;
    double ms;
  };
  struct PlaceJob {
    std::size_t endpoint;
    std::vector<uint64_t> ids;
  };
  struct PlaceDone {
    std::vector<uint64_t> ids;
    std::string place;
    std::string conclusion;
  };
  struct Attempt {
    std::size_t endpoint;
    WatchTime start;
    Steady::time_point started;
    double lateMs;
  };

  const WatchOptions& options;
  NameResolver& resolver;
  EchoService& echo;
  WatchEventCallback onEvent;
  std::unique_ptr<WatchCore> core;  // under `mutex`
  mutable std::mutex mutex;
  StopFlag stop{false};
  std::atomic<bool> running{false};
  bool icmp = false;
  NetworkFacts network;
  std::vector<uint32_t> echoTargets;  // fixed at the start
  WatchLogWriter log;
  std::thread thread;
  std::thread echoThread;
  std::thread idleThread;
  std::vector<WatchEvent> idleEnds;  // under queueMutex
  std::thread proxyThread;
  struct ProxyDone {
    std::size_t endpoint;
    WatchTime start;
    ProxyResult result;
  };
  std::vector<ProxyDone> proxied;  // under queueMutex

  std::mutex queueMutex;  // the queues below
  std::vector<EchoDone> echoes;
  std::vector<PlaceDone> placed;
  std::deque<PlaceJob> placeQueue;
  std::size_t placeWorkers = 0;
  std::vector<std::thread> placers;

  static constexpr std::size_t kMaxPlacements = 2;  // path probes at once, as the check bounds them

  void Dispatch(const std::vector<WatchEvent>& events) {
    for (const WatchEvent& event : events) {
      if (log.isOpen()) log.Write(event);
      if (onEvent) onEvent(event);
      if (event.kind == WatchEvent::Kind::OutageOpen && options.placeOutages && event.outage.place.empty())
        QueuePlacement(event);
    }
  }

  void QueuePlacement(const WatchEvent& event) {
    const std::lock_guard lock(queueMutex);
    const std::optional<uint32_t> address = core->endpoints()[event.endpoint].address;
    // Outages of one address opening together share one check of it.
    for (PlaceJob& job : placeQueue)
      if (core->endpoints()[job.endpoint].address == address) {
        job.ids.push_back(event.outage.id);
        return;
      }
    placeQueue.push_back({event.endpoint, {event.outage.id}});
    if (placeWorkers >= kMaxPlacements) return;
    ++placeWorkers;
    placers.emplace_back([this] { PlaceLoop(); });
  }

  void PlaceLoop() {
    for (;;) {
      PlaceJob job;
      {
        const std::lock_guard lock(queueMutex);
        if (placeQueue.empty() || stop.load()) {
          --placeWorkers;
          return;
        }
        job = std::move(placeQueue.front());
        placeQueue.pop_front();
      }
      const WatchEndpoint endpoint = core->endpoints()[job.endpoint];  // fixed after the start
      HostCatalogue catalogue;
      catalogue.hostTexts = {endpoint.host};
      catalogue.labels = {endpoint.label};
      catalogue.localPorts = {endpoint.port};
      CheckOptions checkOptions;
      checkOptions.connectTimeoutMs = options.placeTimeoutMs;
      checkOptions.echoTimeoutMs = options.echoTimeoutMs;
      checkOptions.lookupTimeoutMs = options.placeTimeoutMs;
      ReachabilityCheck check(resolver, echo, checkOptions);
      const CheckReport report = check.Run(catalogue, {}, &stop);
      NetworkFacts facts = network;
      ProbeGateway(facts, report, echo, options.echoTimeoutMs, &stop);
      if (stop.load()) continue;
      const Conclusion conclusion = Conclude(report, nullptr, std::nullopt, ConfigurationFacts{}, facts);
      const std::lock_guard lock(queueMutex);
      placed.push_back({job.ids, ConclusionCodeName(conclusion.code), ConclusionLine(conclusion)});
    }
  }

  void EchoLoop() {
    struct Sender {
      std::thread thread;
      std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Sender> senders;
    // Echoes answer within the time-out: more batches than fit in it at once
    // mean the sender threads fall behind, and a tick is left out.
    const std::size_t maxSenders = options.echoTimeoutMs / options.echoIntervalMs + 2;
    Steady::time_point next = Steady::now();
    while (!stop.load()) {
      while (Steady::now() < next && !stop.load())
        std::this_thread::sleep_for(std::min<Steady::duration>(next - Steady::now(),
                                                                std::chrono::milliseconds(kStopPollMs)));
      if (stop.load()) break;
      next += std::chrono::milliseconds(options.echoIntervalMs);
      if (next < Steady::now()) next = Steady::now() + std::chrono::milliseconds(options.echoIntervalMs);
      std::erase_if(senders, [](Sender& sender) {
        if (!sender.done->load()) return false;
        sender.thread.join();
        return true;
      });
      if (senders.size() >= maxSenders) continue;
      auto done = std::make_shared<std::atomic<bool>>(false);
      senders.push_back({std::thread([this, done] {
                           const WatchTime sent = WatchClock::now();
                           std::vector<EchoRequest> requests;
                           for (const uint32_t address : echoTargets) requests.push_back({address, 0});
                           std::vector<EchoResult> results(requests.size());
                           const bool sentAny = echo.SendEchoBatch(requests, results, options.echoTimeoutMs, &stop);
                           if (sentAny && !stop.load()) {
                             const std::lock_guard lock(queueMutex);
                             for (std::size_t i = 0; i < requests.size(); ++i) {
                               const bool answered = results[i].errorCode == 0 &&
                                                     results[i].replyAddress == requests[i].destination;
                               echoes.push_back({requests[i].destination, sent, answered,
                                                 answered ? static_cast<double>(results[i].roundTripMs) : 0.0});
                             }
                           }
                           done->store(true);
                         }),
                         done});
    }
    for (Sender& sender : senders) sender.thread.join();
  }

  // --idle: a connection per endpoint, left alone but for a look each second.
  void IdleLoop() {
    struct Held {
      TcpSocket socket;
      Steady::time_point opened;
      Steady::time_point retryAt;
    };
    const std::vector<WatchEndpoint>& endpoints = core->endpoints();
    std::vector<Held> held(endpoints.size());
    const auto interval = std::chrono::milliseconds(options.intervalMs);
    const auto ended = [&](std::size_t e, IdleEnd how, const std::string& reason) {
      WatchEvent event;
      event.kind = WatchEvent::Kind::IdleEnd;
      event.time = WatchClock::now();
      event.endpoint = e;
      event.idleEnd = IdleEndName(how);
      event.idleReason = reason;
      event.idleSeconds = std::chrono::duration<double>(Steady::now() - held[e].opened).count();
      const std::lock_guard lock(queueMutex);
      idleEnds.push_back(std::move(event));
    };
    while (!stop.load()) {
      for (std::size_t e = 0; e < endpoints.size() && !stop.load(); ++e) {
        if (!endpoints[e].watched) continue;
        Held& h = held[e];
        if (!h.socket.valid()) {
          if (Steady::now() < h.retryAt) continue;
          h.socket = ConnectWithTimeout(DottedIPv4(*endpoints[e].address), endpoints[e].port,
                                        options.connectTimeoutMs, &stop);
          h.opened = Steady::now();
          if (!h.socket.valid() ||
              !EnableKeepalive(h.socket, options.idleKeepaliveSeconds, kIdleKeepaliveIntervalSeconds)) {
            h.socket.Close();
            h.retryAt = Steady::now() + interval;
          }
          continue;
        }
        std::string reason;
        const IdleEnd how = PollIdle(h.socket, &reason);
        if (how == IdleEnd::None) continue;
        ended(e, how, reason);
        h.socket.Close();
        h.retryAt = Steady::now() + interval;
      }
      (void)SleepUnlessStopped(1000, &stop);
    }
    // What lasted to the end says so.
    for (std::size_t e = 0; e < endpoints.size(); ++e)
      if (held[e].socket.valid()) ended(e, IdleEnd::None, {});
  }

  // Every endpoint through the stored proxy once an interval, all at once
  // (the connector's workers), each attempt bounded by the connect time-out.
  void ProxyLoop() {
    const std::vector<WatchEndpoint>& endpoints = core->endpoints();
    std::vector<std::size_t> watched;
    std::vector<ProxyTarget> targets;
    for (std::size_t e = 0; e < endpoints.size(); ++e)
      if (endpoints[e].watched) {
        watched.push_back(e);
        targets.push_back({endpoints[e].host, endpoints[e].port});
      }
    const ProxyConnector connector(*options.proxy, resolver, options.connectTimeoutMs);
    const auto interval = std::chrono::milliseconds(options.intervalMs);
    Steady::time_point next = Steady::now();
    while (!stop.load() && !targets.empty()) {
      const WatchTime start = WatchClock::now();
      const std::vector<ProxyResult> results = connector.ConnectAll(targets, {}, &stop);
      if (stop.load()) break;
      {
        const std::lock_guard lock(queueMutex);
        for (std::size_t i = 0; i < results.size() && i < watched.size(); ++i)
          proxied.push_back({watched[i], start, results[i]});
      }
      next += interval;
      if (next < Steady::now()) next = Steady::now();
      while (Steady::now() < next && !stop.load())
        std::this_thread::sleep_for(std::min<Steady::duration>(next - Steady::now(),
                                                                std::chrono::milliseconds(kStopPollMs)));
    }
  }

  void DrainIdleEnds(std::vector<WatchEvent>& events) {
    const std::lock_guard lock(queueMutex);
    for (WatchEvent& event : idleEnds) events.push_back(std::move(event));
    idleEnds.clear();
  }

  void Run() {
    const std::vector<WatchEndpoint>& endpoints = core->endpoints();
    std::vector<std::size_t> watched;
    for (std::size_t e = 0; e < endpoints.size(); ++e)
      if (endpoints[e].watched) watched.push_back(e);
    const auto interval = std::chrono::milliseconds(options.intervalMs);
    const auto timeout = std::chrono::milliseconds(options.connectTimeoutMs);
    // Slots spread evenly over the interval.
    std::vector<Steady::time_point> due(endpoints.size(), Steady::time_point::max());
    const auto align = [&](Steady::time_point from) {
      for (std::size_t k = 0; k < watched.size(); ++k)
        due[watched[k]] = from + interval * static_cast<int64_t>(k) / static_cast<int64_t>(watched.size());
    };
    align(Steady::now());
    ConnectBatch batch;
    std::map<std::size_t, Attempt> attempts;
    std::size_t nextTag = 0;
    // The first textfile once every endpoint has had its first slot, then every period.
    Steady::time_point lastMetrics =
        Steady::now() + interval - std::chrono::milliseconds(options.openMetricsEveryMs);
    WatchTime pausedUntil{};
    std::vector<WatchEvent> events;
    const std::size_t maxOpen = std::clamp<std::size_t>(options.maxOpenSockets, 1, kWatchMaxSockets);

    while (!stop.load()) {
      events.clear();
      Steady::time_point now = Steady::now();
      {
        const std::lock_guard lock(mutex);
        core->Tick(WatchClock::now(), events);
        if (core->pausedUntil() != pausedUntil) {
          pausedUntil = core->pausedUntil();
          align(now);
        }
      }
      // The connects whose slot has come.
      for (const std::size_t e : watched) {
        if (due[e] > now) continue;
        const double lateMs = std::chrono::duration<double, std::milli>(now - due[e]).count();
        due[e] += interval;
        const WatchTime start = WatchClock::now();
        if (batch.open() >= maxOpen) {
          const std::lock_guard lock(mutex);
          core->Connected(e, start, "skipped", false, 0, lateMs, events);
          continue;
        }
        const std::size_t tag = nextTag++;
        attempts[tag] = {e, start, now, lateMs};
        batch.Start(tag, *endpoints[e].address, static_cast<uint16_t>(endpoints[e].port), now + timeout);
      }
      Steady::time_point nextDue = now + std::chrono::milliseconds(kStopPollMs);
      for (const std::size_t e : watched) nextDue = std::min(nextDue, due[e]);
      const auto waitMs = static_cast<uint32_t>(std::clamp<int64_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(nextDue - Steady::now()).count(), 1, kStopPollMs));
      if (batch.idle())
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
      else
        batch.Wait(waitMs, [&](std::size_t tag, const ConnectSettlement& settlement) {
          const auto found = attempts.find(tag);
          if (found == attempts.end()) return;
          const Attempt attempt = found->second;
          attempts.erase(found);
          const double ms = TenthsOfMs(Steady::now() - attempt.started);
          const std::lock_guard lock(mutex);
          core->Connected(attempt.endpoint, attempt.start, ConnectVerdictName(settlement.outcome),
                          settlement.outcome == ConnectOutcome::Open, ms, attempt.lateMs, events);
        });
      {
        std::vector<EchoDone> echoed;
        std::vector<PlaceDone> done;
        {
          const std::lock_guard lock(queueMutex);
          echoed.swap(echoes);
          done.swap(placed);
        }
        const std::lock_guard lock(mutex);
        for (const EchoDone& e : echoed) core->Echoed(e.address, e.sent, e.answered, e.ms, events);
        for (const PlaceDone& p : done)
          for (const uint64_t id : p.ids) core->Placed(id, p.place, p.conclusion, events);
      }
      DrainIdleEnds(events);
      {
        std::vector<ProxyDone> done;
        {
          const std::lock_guard lock(queueMutex);
          done.swap(proxied);
        }
        const std::lock_guard lock(mutex);
        for (const ProxyDone& p : done)
          core->ProxySampled(p.endpoint, p.start, ProxyVerdictName(p.result.verdict), p.result.reason,
                             p.result.verdict == ProxyVerdict::OpenViaProxy, p.result.ms, events);
      }
      Dispatch(events);
      if (log.isOpen()) log.Tick();
      if (!options.openMetricsPath.empty() &&
          Steady::now() - lastMetrics >= std::chrono::milliseconds(options.openMetricsEveryMs)) {
        lastMetrics = Steady::now();
        WriteMetrics();
      }
    }
    events.clear();
    if (idleThread.joinable()) idleThread.join();
    if (proxyThread.joinable()) proxyThread.join();
    DrainIdleEnds(events);
    {
      const std::lock_guard lock(mutex);
      core->Finish(WatchClock::now(), events);
    }
    Dispatch(events);
    if (!options.openMetricsPath.empty()) WriteMetrics();
  }

  void WriteMetrics() {
    WatchSnapshot snapshot;
    {
      const std::lock_guard lock(mutex);
      snapshot = core->Snapshot(WatchClock::now());
    }
    std::string error;
    (void)WriteOpenMetricsFile(options.openMetricsPath, OpenMetricsText(snapshot), &error);
  }
};

Watch::Watch(NameResolver& resolver, EchoService& echo, WatchOptions options)
    : options_(std::move(options)), resolver_(resolver), echo_(echo) {}

Watch::~Watch() { Stop(); }

bool Watch::Start(const HostCatalogue& catalogue, WatchEventCallback onEvent, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (engine_) return fail("the watch has already been started");
  if (const auto problem = WatchOptionsProblem(options_)) return fail(*problem);
  auto engine = std::make_unique<Engine>(options_, resolver_, echo_);
  engine->onEvent = std::move(onEvent);
  engine->icmp = echo_.Initialize();
  engine->network = ReadNetworkFacts();

  const std::vector<EndpointResult> listed = CheckEndpoints(catalogue);
  std::vector<std::string> hosts;
  for (const EndpointResult& endpoint : listed)
    if (!endpoint.host.empty()) hosts.push_back(endpoint.host);
  const std::map<std::string, Lookup> lookups =
      ResolveAll(hosts, resolver_, options_.connectTimeoutMs, &engine->stop);
  std::vector<WatchEndpoint> endpoints;
  std::set<uint32_t> echoed;
  bool throughGateway = false;
  for (const EndpointResult& listedEndpoint : listed) {
    WatchEndpoint endpoint;
    endpoint.index = listedEndpoint.index;
    endpoint.label = listedEndpoint.label;
    endpoint.host = listedEndpoint.host;
    endpoint.port = listedEndpoint.port;
    const bool typedNumber = std::all_of(listedEndpoint.portText.begin(), listedEndpoint.portText.end(),
                                         [](char c) { return c >= '0' && c <= '9'; });
    const bool usablePort = endpoint.port >= 1 && endpoint.port <= 65535 && typedNumber;
    if (const auto found = lookups.find(endpoint.host); found != lookups.end())
      endpoint.address = found->second.address;
    endpoint.watched = usablePort && endpoint.address.has_value();
    if (endpoint.watched && engine->icmp && !IsLoopbackAddress(*endpoint.address)) {
      endpoint.echoed = true;
      echoed.insert(*endpoint.address);
      if (engine->network.gateway && *engine->network.gateway != 0 &&
          RouteGateway(engine->network, *endpoint.address) == engine->network.gateway)
        throughGateway = true;
    }
    endpoints.push_back(std::move(endpoint));
  }
  if (throughGateway) echoed.insert(*engine->network.gateway);
  engine->echoTargets.assign(echoed.begin(), echoed.end());
  const WatchTime started = WatchClock::now();
  engine->core = std::make_unique<WatchCore>(options_, std::move(endpoints), started);

  // A textfile that cannot be written says so now, not never.
  if (!options_.openMetricsPath.empty()) {
    std::string why;
    if (!WriteOpenMetricsFile(options_.openMetricsPath, OpenMetricsText(engine->core->Snapshot(started)), &why))
      return fail(why);
  }
  if (!options_.logPath.empty()) {
    WatchLogHeader header;
    header.started = started;
    header.clientRoot = options_.clientRoot;
    header.options = options_;
    header.endpoints = engine->core->SummaryEndpoints();
    std::string why;
    if (!engine->log.Open(options_.logPath, header, options_.logSamples, options_.logRollBytes, &why))
      return fail(why);
  }
  engine_ = std::move(engine);
  Engine& running = *engine_;
  running.running = true;
  running.thread = std::thread([&running] {
    if (running.icmp && !running.echoTargets.empty())
      running.echoThread = std::thread([&running] { running.EchoLoop(); });
    if (running.options.idle) running.idleThread = std::thread([&running] { running.IdleLoop(); });
    if (running.options.proxy) running.proxyThread = std::thread([&running] { running.ProxyLoop(); });
    running.Run();
    if (running.echoThread.joinable()) running.echoThread.join();
    for (std::thread& placer : running.placers)
      if (placer.joinable()) placer.join();
    running.log.WriteEnd(WatchClock::now());
    running.running = false;
  });
  return true;
}

void Watch::Stop() {
  if (!engine_) return;
  engine_->stop = true;
  if (engine_->thread.joinable()) engine_->thread.join();
}

bool Watch::running() const { return engine_ && engine_->running.load(); }

WatchSnapshot Watch::Snapshot() const {
  if (!engine_) return {};
  const std::lock_guard lock(engine_->mutex);
  WatchSnapshot snapshot = engine_->core->Snapshot(WatchClock::now());
  snapshot.running = engine_->running.load();
  snapshot.icmpAvailable = engine_->icmp;
  return snapshot;
}

WatchSummary Watch::Summary() const {
  if (!engine_) return {};
  const std::lock_guard lock(engine_->mutex);
  return engine_->core->Summary(WatchClock::now());
}

}  // namespace rk
