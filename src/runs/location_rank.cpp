#include "runs/location_rank.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <set>

#include "base/format.h"
#include "config/connection_preference.h"
#include "config/host_catalogue.h"
#include "config/proxy_settings.h"
#include "probes/connect_batch.h"
#include "probes/parallel_lookup.h"

namespace rk {

namespace {

using Clock = std::chrono::steady_clock;

const char* OutcomeWord(ConnectOutcome outcome) {
  switch (outcome) {
    case ConnectOutcome::Open:
      return "open";
    case ConnectOutcome::Refused:
      return "refused";
    case ConnectOutcome::Timeout:
      return "no answer";
    case ConnectOutcome::Unreachable:
      return "unreachable";
    case ConnectOutcome::Error:
      break;
  }
  return "error";
}

const char* LookupWord(LookupFailure failure, bool finished) {
  if (!finished) return "look-up timed out";
  switch (failure) {
    case LookupFailure::NoSuchName:
      return "no such name";
    case LookupFailure::NoAnswer:
      return "no DNS server answered";
    case LookupFailure::NoIPv4:
      return "no IPv4 address";
    case LookupFailure::None:
      break;
  }
  return "look-up failed";
}

// The state of one location across its rounds.
struct Track {
  std::size_t result = 0;       // index into the report
  std::vector<double> portMs;   // this round, by port; < 0 while out
  std::vector<bool> portEverOpen;
  std::size_t out = 0;          // attempts of this round still out
  bool lost = false;            // this round: some port was silent to the time-out
  bool answered = false;        // some attempt ever had an answer
  bool done = false;            // no more rounds
  int started = 0;              // rounds begun
  Clock::time_point roundStart;
};

// Ends a location's round: its time (the time-out when lost) unless it is
// the warm-up, or the end of the location when it never answered. `rounds`
// counts the warm-up.
void EndRound(Track& track, LocationResult& result, uint32_t timeoutMs, int rounds) {
  if (result.ruledOut) {
    track.done = true;
    return;
  }
  if (track.lost && !track.answered) {
    result.ruledOut = true;
    result.reason = Format("no answer within %u ms", timeoutMs);
    track.done = true;
    return;
  }
  if (track.started > kRankWarmUpRounds) {
    double slowest = 0;
    for (const double ms : track.portMs) slowest = std::max(slowest, ms);
    result.roundsMs.push_back(track.lost ? static_cast<double>(timeoutMs) : slowest);
    if (track.lost) ++result.lostRounds;
  }
  if (track.started >= rounds) track.done = true;
}

void RuleOut(LocationResult& result, int32_t port, const std::string& why) {
  if (result.ruledOut) return;
  result.ruledOut = true;
  result.reason = Format("port %d %s", port, why.c_str());
}

}  // namespace

std::vector<RankCandidate> ReadRankCandidates(ProfileStore& profile, const ClientPaths& paths) {
  std::vector<RankCandidate> candidates;
  for (std::string& location : ReadLocationList(profile, paths)) {
    std::string host =
        profile.GetString(location, "NMIP", "", kProfileBufferSize, paths.QuoteSettingsPath());
    candidates.push_back({std::move(location), std::move(host)});
  }
  return candidates;
}

double NearestRankQuantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  const auto n = values.size();
  auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(n)));
  rank = std::clamp<std::size_t>(rank, 1, n);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank - 1), values.end());
  return values[rank - 1];
}

double ChangeMarginMs(double currentScoreMs) { return std::max(2.0, 0.1 * currentScoreMs); }

RankDecision DecideRank(std::vector<LocationResult>& results, const std::string& currentLocation,
                        uint64_t seed, std::size_t resamples) {
  RankDecision decision;
  for (std::size_t i = 0; i < results.size(); ++i) {
    LocationResult& result = results[i];
    if (!currentLocation.empty() && result.location == currentLocation && !decision.current)
      decision.current = i;
    if (!result.Ranked()) continue;
    result.p50 = NearestRankQuantile(result.roundsMs, 0.5);
    result.p90 = NearestRankQuantile(result.roundsMs, 0.9);
  }
  const auto ranked = [&](std::size_t i) { return results[i].Ranked(); };
  const bool currentRanked = decision.current && ranked(*decision.current);
  if (currentRanked) decision.winner = decision.current;
  for (std::size_t i = 0; i < results.size(); ++i)
    if (ranked(i) && (!decision.winner || results[i].score() < results[*decision.winner].score()))
      decision.winner = i;
  if (!decision.winner) return decision;  // AllFailed
  if (!currentRanked) {
    decision.kind = RankDecisionKind::Recommend;
    decision.share = 1;
    return decision;
  }
  if (*decision.winner == *decision.current) {
    decision.kind = RankDecisionKind::Keep;
    decision.winnerIsCurrent = true;
    decision.share = 0;
    return decision;
  }
  const std::vector<double>& best = results[*decision.winner].roundsMs;
  const std::vector<double>& now = results[*decision.current].roundsMs;
  std::mt19937_64 random(seed);
  std::vector<double> bestSample(best.size());
  std::vector<double> nowSample(now.size());
  std::uniform_int_distribution<std::size_t> pickBest(0, best.size() - 1);
  std::uniform_int_distribution<std::size_t> pickNow(0, now.size() - 1);
  std::size_t wins = 0;
  // Rounds of the same index ran side by side (interleaved), so a burst of
  // congestion sits in both: resampled as pairs they keep it together.
  const bool paired = best.size() == now.size();
  for (std::size_t r = 0; r < resamples; ++r) {
    for (std::size_t i = 0; i < bestSample.size(); ++i) {
      const std::size_t pick = pickBest(random);
      bestSample[i] = best[pick];
      if (paired) nowSample[i] = now[pick];
    }
    if (!paired)
      for (double& v : nowSample) v = now[pickNow(random)];
    const double nowScore = NearestRankQuantile(nowSample, 0.9);
    if (nowScore - NearestRankQuantile(bestSample, 0.9) > ChangeMarginMs(nowScore)) ++wins;
  }
  decision.share = resamples == 0 ? 0 : static_cast<double>(wins) / static_cast<double>(resamples);
  decision.kind = decision.share >= kBootstrapShare ? RankDecisionKind::Recommend : RankDecisionKind::Keep;
  return decision;
}

bool OnOwnNetwork(uint32_t address, const std::vector<std::string>& ownAddresses,
                  const std::vector<Ipv4Route>& routes) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
  if (bytes[0] == 127) return true;  // network byte order: the first byte is the first octet
  for (const std::string& own : ownAddresses)
    if (ParseNumericIPv4(own) == address) return true;
  for (const Ipv4Route& route : routes)
    if (route.gateway == 0 && route.mask != 0 && (address & route.mask) == (route.destination & route.mask))
      return true;
  return false;
}

bool AnswersTooFast(const LocationResult& result, const std::vector<std::string>& ownAddresses,
                    const std::vector<Ipv4Route>& routes) {
  return result.Ranked() && result.address && result.p50 < kTooFastMs &&
         !OnOwnNetwork(*result.address, ownAddresses, routes);
}

RankReport LocationRank::Run(const std::vector<RankCandidate>& candidates,
                             const std::vector<int32_t>& ports, const std::string& currentLocation,
                             const std::optional<ProxyRoute>& proxy,
                             const std::vector<std::string>& ownAddresses,
                             const std::vector<Ipv4Route>& routes, const RankProgress& progress,
                             const StopFlag* stop) {
  const Clock::time_point start = Clock::now();
  const int rounds = std::clamp(options_.rounds, 1, kMaxRankRounds);
  const uint32_t timeoutMs = options_.connectTimeoutMs;
  RankReport report;
  report.currentLocation = currentLocation;
  report.ports = ports;
  report.proxy = proxy;
  report.rounds = rounds;
  report.timeoutMs = timeoutMs;
  const auto stopped = [stop] { return stop != nullptr && stop->load(); };

  std::vector<Track> tracks;
  std::vector<std::string> names;
  for (const RankCandidate& candidate : candidates) {
    LocationResult result;
    result.location = candidate.location;
    result.host = candidate.host;
    if (candidate.host.empty()) {
      result.measurable = false;
      result.reason = "no NMIP";
    } else if (ports.empty()) {
      result.ruledOut = true;
      result.reason = "no port to test: the shared port list is empty";
    } else {
      for (const int32_t port : ports)
        if (port < 1 || port > 65535) RuleOut(result, port, "is no TCP port");
    }
    if (result.measurable && !result.ruledOut) {
      Track track;
      track.result = report.locations.size();
      track.portEverOpen.assign(ports.size(), false);
      tracks.push_back(std::move(track));
      if (!proxy && !ParseNumericIPv4(candidate.host)) names.push_back(candidate.host);
    }
    report.locations.push_back(std::move(result));
  }

  // Look-ups first, timed apart; through a proxy the proxy looks the name up.
  if (!proxy) {
    const std::map<std::string, Lookup> lookups =
        ResolveAll(names, resolver_, options_.lookupTimeoutMs, stop);
    for (Track& track : tracks) {
      LocationResult& result = report.locations[track.result];
      if (const auto numeric = ParseNumericIPv4(result.host)) {
        result.address = numeric;
        continue;
      }
      const auto found = lookups.find(result.host);
      if (found == lookups.end()) {
        result.ruledOut = true;
        result.reason = "not looked up (stopped)";
        continue;
      }
      result.lookupMs = found->second.ms;
      result.address = found->second.address;
      if (!result.address) {
        result.ruledOut = true;
        result.reason = found->second.malformed
                            ? "not a host name"
                            : LookupWord(found->second.failure, found->second.finished);
      }
    }
    std::erase_if(tracks, [&](const Track& t) { return report.locations[t.result].ruledOut; });
  }

  const int attempts = rounds + kRankWarmUpRounds;
  const std::size_t total = tracks.size() * static_cast<std::size_t>(attempts) * ports.size();
  std::size_t settledCount = 0;
  const auto tick = [&] {
    ++settledCount;
    if (progress) progress(settledCount, total);
  };
  const auto beginRound = [&](Track& track) {
    track.portMs.assign(ports.size(), -1);
    track.out = ports.size();
    track.lost = false;
    ++track.started;
    track.roundStart = Clock::now();
  };
  // Round r may start once every location that has answered is done with r-1.
  const auto waveOver = [&] {
    return std::none_of(tracks.begin(), tracks.end(),
                        [](const Track& t) { return !t.done && t.out > 0 && t.answered; });
  };

  if (proxy) {
    const ProxyConnector connector(*proxy, resolver_, timeoutMs);
    while (!stopped()) {
      std::vector<ProxyTarget> targets;
      std::vector<std::pair<std::size_t, std::size_t>> owners;  // (track, port)
      for (std::size_t t = 0; t < tracks.size(); ++t) {
        if (tracks[t].done) continue;
        beginRound(tracks[t]);
        for (std::size_t p = 0; p < ports.size(); ++p) {
          targets.push_back({report.locations[tracks[t].result].host, ports[p]});
          owners.emplace_back(t, p);
        }
      }
      if (targets.empty()) break;
      const std::vector<ProxyResult> answers = connector.ConnectAll(targets, {}, stop);
      if (stopped()) break;
      for (std::size_t i = 0; i < answers.size(); ++i) {
        Track& track = tracks[owners[i].first];
        LocationResult& result = report.locations[track.result];
        const std::size_t p = owners[i].second;
        const ProxyResult& answer = answers[i];
        if (answer.verdict == ProxyVerdict::OpenViaProxy) {
          track.portMs[p] = answer.ms;
          track.portEverOpen[p] = true;
          track.answered = true;
        } else if (answer.verdict == ProxyVerdict::Timeout) {
          track.lost = true;
        } else {
          track.answered = true;
          RuleOut(result, ports[p], Format("through the proxy: %s (%s)", ProxyVerdictName(answer.verdict),
                                           answer.reason.c_str()));
        }
        tick();
      }
      for (Track& track : tracks)
        if (!track.done) EndRound(track, report.locations[track.result], timeoutMs, attempts);
    }
  } else {
    ConnectBatch batch;
    std::vector<std::pair<std::size_t, std::size_t>> owners;  // tag -> (track, port)
    const auto startWave = [&] {
      for (std::size_t t = 0; t < tracks.size(); ++t) {
        Track& track = tracks[t];
        if (track.done || track.out > 0) continue;
        beginRound(track);
        const uint32_t address = *report.locations[track.result].address;
        for (std::size_t p = 0; p < ports.size(); ++p) {
          owners.emplace_back(t, p);
          batch.Start(owners.size() - 1, address, static_cast<uint16_t>(ports[p]),
                      track.roundStart + std::chrono::milliseconds(timeoutMs));
        }
      }
    };
    startWave();
    while (!batch.idle() && !stopped()) {
      batch.Wait(kStopPollMs, [&](std::size_t tag, const ConnectSettlement& settlement) {
        const Clock::time_point now = Clock::now();
        Track& track = tracks[owners[tag].first];
        LocationResult& result = report.locations[track.result];
        const std::size_t p = owners[tag].second;
        if (settlement.outcome == ConnectOutcome::Open) {
          track.portMs[p] = TenthsOfMs(now - track.roundStart);
          track.portEverOpen[p] = true;
          track.answered = true;
        } else if (settlement.outcome == ConnectOutcome::Timeout) {
          track.lost = true;
        } else {
          track.answered = true;
          std::string why = OutcomeWord(settlement.outcome);
          if (!settlement.reason.empty()) why += " (" + settlement.reason + ")";
          RuleOut(result, ports[p], why);
        }
        tick();
        if (--track.out == 0) EndRound(track, result, timeoutMs, attempts);
      });
      if (waveOver()) startWave();
    }
  }

  if (stopped()) report.interrupted = true;
  for (const Track& track : tracks) {
    LocationResult& result = report.locations[track.result];
    if (result.ruledOut || report.interrupted) continue;
    for (std::size_t p = 0; p < ports.size(); ++p)
      if (!track.portEverOpen[p]) {
        RuleOut(result, ports[p], Format("never answered in %zu rounds", result.roundsMs.size()));
        break;
      }
  }
  report.decision = DecideRank(report.locations, currentLocation, options_.seed);
  if (!proxy)  // through a proxy the time is the proxy's, which may well be near
    for (LocationResult& result : report.locations)
      result.tooFast = AnswersTooFast(result, ownAddresses, routes);
  report.durationMs = TenthsOfMs(Clock::now() - start);
  return report;
}

RankInputs ReadRankInputs(ProfileStore& profile, const ClientPaths& paths) {
  RankInputs inputs;
  inputs.candidates = ReadRankCandidates(profile, paths);
  inputs.ports = BuildHostCatalogue(profile, paths).nmPorts;
  ConnectionPreference priority;
  ReadConnectionPreference(priority, true, profile, paths);
  inputs.currentLocation = priority.strLocation;
  ProxyRoute route = StoredProxyRoute(profile, paths);
  if (IsProxyStored(route.type)) inputs.proxy = std::move(route);
  inputs.ownAddresses = MachineIPv4Addresses();
  inputs.routes = MachineIPv4Routes();
  return inputs;
}

std::string RankRecommendationLine(const RankReport& report) {
  const RankDecision& d = report.decision;
  const auto name = [&](std::optional<std::size_t> i) { return report.locations[*i].location; };
  switch (d.kind) {
    case RankDecisionKind::AllFailed:
      return "every location failed: nothing to recommend";
    case RankDecisionKind::Keep:
      if (d.winnerIsCurrent) return "keep " + name(d.current) + ": it is the fastest";
      return "about the same: keep " + name(d.current);
    case RankDecisionKind::Recommend:
      break;
  }
  const LocationResult& best = report.locations[*d.winner];
  if (!d.current)
    return Format("use %s (p90 %.1f ms; no priority location stored)", best.location.c_str(), best.p90);
  const LocationResult& now = report.locations[*d.current];
  if (!now.Ranked())
    return Format("use %s (p90 %.1f ms; the current %s is %s)", best.location.c_str(), best.p90,
                  now.location.c_str(), now.measurable ? "ruled out" : "not measurable");
  return Format("use %s (p90 %.1f ms against %.1f ms for %s, faster in %.0f%% of resamples)",
                best.location.c_str(), best.p90, now.p90, now.location.c_str(), d.share * 100);
}

std::string RankVerdictText(const RankReport& report, std::size_t index) {
  const LocationResult& result = report.locations[index];
  const RankDecision& d = report.decision;
  std::string text;
  if (!result.measurable)
    text = "not measurable: " + result.reason;
  else if (result.ruledOut)
    text = "ruled out: " + result.reason;
  else if (!result.Ranked())
    text = "not measured";
  else if (d.kind == RankDecisionKind::Recommend && d.winner == index)
    text = "best";
  else if (d.current == index)
    text = "current";
  else
    text = "ok";
  if (result.tooFast) text += "; answered under 1 ms: something in between answers for the broker";
  return text;
}

}  // namespace rk
