#include "runs/watch_core.h"

#include <algorithm>

#include "base/format.h"
#include "probes/net_address.h"

namespace rk {

namespace {

// The event of an outage opened, closed or placed.
WatchEvent OutageEvent(WatchEvent::Kind kind, WatchTime t, std::size_t endpoint, const WatchOutage& outage) {
  WatchEvent event;
  event.kind = kind;
  event.time = t;
  event.endpoint = endpoint;
  event.outage = outage;
  return event;
}

// The event of one sample; `endpoint` is kNoEndpoint for an echo, which belongs to an address.
WatchEvent SampleEvent(SampleKind kind, WatchTime start, std::size_t endpoint, uint32_t address,
                       const std::string& verdict, bool ok, double ms) {
  WatchEvent event;
  event.kind = WatchEvent::Kind::Sample;
  event.time = start;
  event.endpoint = endpoint;
  event.sample.time = start;
  event.sample.kind = kind;
  event.sample.endpoint = endpoint;
  event.sample.address = address;
  event.sample.verdict = verdict;
  event.sample.ok = ok;
  event.sample.ms = TenthMs(ms);
  return event;
}

using Ms = std::chrono::duration<double, std::milli>;

WatchTime After(WatchTime t, double ms) {
  return t + std::chrono::duration_cast<WatchClock::duration>(Ms(ms));
}

}  // namespace

std::string LocationOfLabel(const std::string& label) {
  // No byte of a two-byte code page 950 character is '-' (0x2D).
  const std::size_t dash = label.find('-');
  if (dash == std::string::npos) return {};
  const std::size_t colon = label.find(" : ", dash + 1);
  return label.substr(dash + 1, colon == std::string::npos ? std::string::npos : colon - dash - 1);
}

WatchTime MinuteStart(WatchTime t) {
  return std::chrono::floor<std::chrono::minutes>(t);
}

const char* WatchStateName(WatchState state) {
  switch (state) {
    case WatchState::Waiting: return "waiting";
    case WatchState::Up: return "up";
    case WatchState::Down: return "down";
    case WatchState::Paused: return "paused";
    case WatchState::Unresolved: return "unresolved";
    case WatchState::NotWatched: break;
  }
  return "not-watched";
}

const char* SampleKindName(SampleKind kind) {
  switch (kind) {
    case SampleKind::Connect: return "connect";
    case SampleKind::Echo: return "echo";
    case SampleKind::Proxy: break;
  }
  return "proxy";
}

WatchCore::WatchCore(const WatchOptions& options, std::vector<WatchEndpoint> endpoints, WatchTime started)
    : options_(options), endpoints_(std::move(endpoints)), states_(endpoints_.size()), started_(started) {
  for (std::size_t e = 0; e < endpoints_.size(); ++e) {
    const WatchEndpoint& endpoint = endpoints_[e];
    if (!endpoint.address && endpoint.watched) endpoints_[e].watched = false;
    if (!endpoint.host.empty() && !endpoint.address && endpoint.port > 0)
      states_[e].state = WatchState::Unresolved;
    else if (!endpoints_[e].watched)
      states_[e].state = WatchState::NotWatched;
    states_[e].minute.start = MinuteStart(started);
    if (endpoints_[e].watched && endpoint.echoed) addresses_[*endpoint.address].endpoints.push_back(e);
  }
  summary_.SetEndpoints(SummaryEndpoints());
  summary_.SetStarted(started);
}

std::vector<EndpointSummary> WatchCore::SummaryEndpoints() const {
  std::vector<EndpointSummary> list;
  for (const WatchEndpoint& endpoint : endpoints_) {
    EndpointSummary summary;
    summary.index = endpoint.index;
    summary.label = endpoint.label;
    summary.host = endpoint.host;
    summary.address = endpoint.address ? DottedIPv4(*endpoint.address) : std::string();
    summary.port = endpoint.port;
    list.push_back(std::move(summary));
  }
  return list;
}

void WatchCore::SetState(std::size_t e, WatchState to, WatchTime t, std::vector<WatchEvent>& events) {
  EndpointState& state = states_[e];
  if (state.state == to) return;
  WatchEvent event;
  event.kind = WatchEvent::Kind::StateChange;
  event.time = t;
  event.endpoint = e;
  event.from = state.state;
  event.to = to;
  state.state = to;
  events.push_back(std::move(event));
}

void WatchCore::Open(std::size_t e, WatchTime t, WatchTime lastGood, const char* by,
                     std::vector<WatchEvent>& events) {
  EndpointState& state = states_[e];
  if (state.open) return;
  WatchOutage outage;
  outage.id = nextOutage_++;
  outage.endpoint = e;
  outage.start = t;
  outage.lastGood = lastGood;
  outage.by = by;
  Opened(e, state.open, outage, events);
  SetState(e, WatchState::Down, t, events);
}

void WatchCore::Close(std::size_t e, WatchTime t, std::vector<WatchEvent>& events) {
  CloseSlot(e, states_[e].open, t, events);
}

void WatchCore::CloseSlot(std::size_t e, std::optional<WatchOutage>& slot, WatchTime t,
                          std::vector<WatchEvent>& events) {
  if (!slot) return;
  EndpointState& state = states_[e];
  slot->end = std::max(t, slot->start);
  if (!state.last || state.last->id <= slot->id) state.last = slot;
  summary_.AddOutage(*slot);
  events.push_back(OutageEvent(WatchEvent::Kind::OutageClose, *slot->end, e, *slot));
  slot.reset();
}

void WatchCore::ProxySampled(std::size_t e, WatchTime start, const std::string& verdict, const std::string& reason,
                             bool ok, double ms, std::vector<WatchEvent>& events) {
  if (e >= endpoints_.size() || !endpoints_[e].watched || start < pausedUntil_) return;
  const WatchTime end = After(start, ms);
  EndpointState& state = states_[e];
  events.push_back(SampleEvent(SampleKind::Proxy, start, e, endpoints_[e].address.value_or(0),
                               verdict, ok, ms));
  if (ok) {
    state.proxyFailuresInRow = 0;
    CloseSlot(e, state.proxyOpen, end, events);
    return;
  }
  if (++state.proxyFailuresInRow < kOutageFailuresInRow || state.proxyOpen) return;
  // The proxy's own answer places it: no check is needed to say where.
  WatchOutage outage;
  outage.id = nextOutage_++;
  outage.endpoint = e;
  outage.start = end;
  outage.lastGood = end;
  outage.by = "proxy";
  outage.place = "proxy";
  outage.conclusion = "the proxy: " + verdict + (reason.empty() ? std::string() : ": " + reason);
  Opened(e, state.proxyOpen, outage, events);
}

void WatchCore::Opened(std::size_t e, std::optional<WatchOutage>& slot, const WatchOutage& outage,
                       std::vector<WatchEvent>& events) {
  EndpointState& state = states_[e];
  slot = outage;
  state.last = outage;
  ++state.outages;
  summary_.AddOutage(outage);
  events.push_back(OutageEvent(WatchEvent::Kind::OutageOpen, outage.start, e, outage));
}

MinuteRecord WatchCore::MinuteOf(std::size_t e) const {
  const Minute& minute = states_[e].minute;
  MinuteRecord record;
  record.minute = minute.start;
  record.endpoint = e;
  record.samples = minute.samples;
  record.lost = minute.lost;
  record.skipped = minute.skipped;
  record.echoes = minute.echoes;
  record.echoLost = minute.echoLost;
  std::vector<double> times = minute.times;
  record.p50 = ExactPercentile(times, 50);
  record.p95 = ExactPercentile(times, 95);
  record.max = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
  record.histogram = minute.histogram;
  return record;
}

void WatchCore::WriteMinute(std::size_t e, std::vector<WatchEvent>& events) {
  EndpointState& state = states_[e];
  if (state.minute.samples != 0 || state.minute.echoes != 0) {
    WatchEvent event;
    event.kind = WatchEvent::Kind::Minute;
    event.time = state.minute.start;
    event.endpoint = e;
    event.minute = MinuteOf(e);
    summary_.AddMinute(event.minute);
    state.total.Merge(state.minute.histogram);
    events.push_back(std::move(event));
  }
  state.minute = Minute{};
}

// Samples count in the minute they end in.
void WatchCore::MinuteFor(std::size_t e, WatchTime t, std::vector<WatchEvent>& events) {
  const WatchTime start = MinuteStart(t);
  if (start > states_[e].minute.start) {
    WriteMinute(e, events);
    states_[e].minute.start = start;
  }
}

void WatchCore::Connected(std::size_t e, WatchTime start, const std::string& verdict, bool ok, double ms,
                          double lateMs, std::vector<WatchEvent>& events) {
  if (e >= endpoints_.size() || !endpoints_[e].watched || start < pausedUntil_) return;
  const WatchTime end = After(start, ms);
  MinuteFor(e, end, events);
  EndpointState& state = states_[e];
  ++state.samples;
  ++state.minute.samples;
  WatchEvent event = SampleEvent(SampleKind::Connect, start, e, endpoints_[e].address.value_or(0),
                                 verdict, ok, ms);
  event.sample.lateMs = TenthMs(lateMs);
  events.push_back(std::move(event));
  WatchPoint point;
  point.time = start;
  point.echoMs = state.lastEchoMs;
  if (ok) {
    point.connectMs = TenthMs(ms);
    state.lastMs = TenthMs(ms);
    ++state.connected;
    state.connectMsSum += TenthMs(ms);
    state.minute.times.push_back(TenthMs(ms));
    state.minute.histogram.Add(ms);
    state.failuresInRow = 0;
    state.lastGood = end;
    Close(e, end, events);
    SetState(e, WatchState::Up, end, events);
  } else {
    state.lastMs.reset();
    ++state.lost;
    ++state.minute.lost;
    if (verdict == "skipped") ++state.minute.skipped;
    // A skipped sample is this machine's limit, not the network's answer:
    // it neither opens an outage nor breaks a run of failures.
    if (verdict != "skipped" && ++state.failuresInRow >= kOutageFailuresInRow)
      Open(e, end, state.lastGood.value_or(started_), "connect", events);
  }
  state.recent.push_back(point);
  while (!state.recent.empty() && state.recent.front().time < end - std::chrono::milliseconds(kChartWindowMs))
    state.recent.pop_front();
}

void WatchCore::Echoed(uint32_t address, WatchTime sent, bool answered, double ms,
                       std::vector<WatchEvent>& events) {
  if (sent < pausedUntil_) return;
  events.push_back(SampleEvent(SampleKind::Echo, sent, WatchSample::kNoEndpoint, address,
                               answered ? "answered" : "lost", answered, answered ? ms : 0));
  const auto found = addresses_.find(address);
  if (found == addresses_.end()) return;
  AddressState& state = found->second;
  const WatchTime at = answered ? After(sent, ms) : sent;
  if (answered && (!state.lastAnswer || at > *state.lastAnswer)) {
    state.lastAnswer = at;
    state.silent = false;
  }
  for (const std::size_t e : state.endpoints) {
    MinuteFor(e, at, events);
    EndpointState& endpoint = states_[e];
    ++endpoint.echoes;
    ++endpoint.minute.echoes;
    if (!answered) {
      ++endpoint.echoLost;
      ++endpoint.minute.echoLost;
    }
    endpoint.lastEchoMs = answered ? std::optional<double>(TenthMs(ms)) : std::nullopt;
    // An outage the echo saw ends with the echo's answer, unless connects fail too.
    if (answered && endpoint.open && endpoint.open->by == "echo" && endpoint.failuresInRow == 0) {
      Close(e, at, events);
      SetState(e, WatchState::Up, at, events);
    }
  }
}

void WatchCore::Tick(WatchTime now, std::vector<WatchEvent>& events) {
  const auto pauseAfter = std::chrono::milliseconds(static_cast<int64_t>(options_.intervalMs) * kPauseIntervals);
  if (lastTick_ && now - *lastTick_ > pauseAfter) {
    // The machine slept (or the process was stopped): nothing was sampled,
    // so nothing is known of that time. Outages end where the gap began,
    // runs of failures and echo silences start again, and samples begun
    // before the gap's end are dropped.
    const WatchTime from = *lastTick_;
    WatchEvent event;
    event.kind = WatchEvent::Kind::Paused;
    event.time = now;
    event.pauseFrom = from;
    events.push_back(event);
    summary_.AddPause({from, now});
    pausedUntil_ = now;
    for (auto& [address, state] : addresses_) {
      state.lastAnswer.reset();
      state.silent = false;
    }
    for (std::size_t e = 0; e < endpoints_.size(); ++e) {
      if (!endpoints_[e].watched) continue;
      Close(e, from, events);
      CloseSlot(e, states_[e].proxyOpen, from, events);
      states_[e].failuresInRow = 0;
      states_[e].proxyFailuresInRow = 0;
      states_[e].lastGood.reset();
      SetState(e, WatchState::Paused, now, events);
    }
  }
  lastTick_ = now;
  // Echo silence: an address that answered within the last minute and has
  // not answered for the echo time-out.
  const auto silence = std::chrono::milliseconds(options_.echoTimeoutMs);
  const auto memory = std::chrono::milliseconds(kEchoMemoryMs);
  for (auto& [address, state] : addresses_) {
    if (state.silent || !state.lastAnswer) continue;
    const auto quiet = now - *state.lastAnswer;
    if (quiet < silence || quiet > memory) continue;
    state.silent = true;
    for (const std::size_t e : state.endpoints) Open(e, now, *state.lastAnswer, "echo", events);
  }
  for (std::size_t e = 0; e < endpoints_.size(); ++e)
    if (endpoints_[e].watched) MinuteFor(e, now, events);
}

void WatchCore::Placed(uint64_t id, const std::string& place, const std::string& conclusion,
                       std::vector<WatchEvent>& events) {
  for (std::size_t e = 0; e < states_.size(); ++e) {
    EndpointState& state = states_[e];
    std::optional<WatchOutage>* holders[] = {&state.open, &state.last};
    bool found = false;
    for (std::optional<WatchOutage>* holder : holders)
      if (*holder && (*holder)->id == id) {
        (*holder)->place = place;
        (*holder)->conclusion = conclusion;
        found = true;
      }
    if (!found) continue;
    WatchOutage outage = state.last && state.last->id == id ? *state.last : *state.open;
    summary_.AddOutage(outage);
    events.push_back(OutageEvent(WatchEvent::Kind::OutagePlaced, WatchClock::now(), e, outage));
    return;
  }
}

void WatchCore::Finish(WatchTime now, std::vector<WatchEvent>& events) {
  (void)now;
  for (std::size_t e = 0; e < endpoints_.size(); ++e)
    if (endpoints_[e].watched) WriteMinute(e, events);
}

WatchSnapshot WatchCore::Snapshot(WatchTime now) const {
  WatchSnapshot snapshot;
  snapshot.started = started_;
  snapshot.now = now;
  for (std::size_t e = 0; e < endpoints_.size(); ++e) {
    const WatchEndpoint& endpoint = endpoints_[e];
    const EndpointState& state = states_[e];
    EndpointSnapshot out;
    out.index = endpoint.index;
    out.label = endpoint.label;
    out.host = endpoint.host;
    out.addressPort = Format("%s:%d", endpoint.address ? DottedIPv4(*endpoint.address).c_str() : endpoint.host.c_str(),
                             endpoint.port);
    out.port = endpoint.port;
    out.location = LocationOfLabel(endpoint.label);
    out.connected = state.connected;
    out.connectMsSum = state.connectMsSum;
    out.state = state.state;
    out.stateText = WatchStateName(state.state);
    out.lastMs = state.lastMs;
    LatencyHistogram all = state.total;
    all.Merge(state.minute.histogram);
    out.p50 = all.Percentile(50);
    out.p95 = all.Percentile(95);
    out.lossRatio = state.samples == 0 ? 0 : static_cast<double>(state.lost) / static_cast<double>(state.samples);
    out.echoLossRatio =
        state.echoes == 0 ? 0 : static_cast<double>(state.echoLost) / static_cast<double>(state.echoes);
    out.samples = state.samples;
    out.outages = state.outages;
    out.lastOutage = state.last;
    if (state.open && (!out.lastOutage || out.lastOutage->id <= state.open->id)) out.lastOutage = state.open;
    out.recent.assign(state.recent.begin(), state.recent.end());
    snapshot.endpoints.push_back(std::move(out));
  }
  return snapshot;
}

WatchSummary WatchCore::Summary(WatchTime now) const {
  SummaryBuilder builder = summary_;
  for (std::size_t e = 0; e < endpoints_.size(); ++e)
    if (states_[e].minute.samples != 0 || states_[e].minute.echoes != 0) builder.AddMinute(MinuteOf(e));
  return builder.Finish(now);
}

}  // namespace rk
