#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "base/codepage.h"
#include "base/format.h"
#include "cli/cli.h"
#include "cli/results.h"
#include "config/connection_preference.h"
#include "config/proxy_settings.h"
#include "dialogs/connect_setting_form.h"
#include "probes/net_address.h"
#include "runs/location_rank.h"

namespace rk::cli {

namespace {

struct RankCommandOptions {
  int rounds = kDefaultRankRounds;
  uint32_t timeoutMs = kConnectTimeoutMs;
  bool apply = false;
};

std::string RankMs(const LocationResult& result, double ms) {
  return result.Ranked() ? Format("%.1f ms", ms) : std::string("-");
}

std::string RankAddress(const RankReport& report, const LocationResult& result) {
  if (report.proxy) return result.host.empty() ? std::string("-") : result.host + " (proxy)";
  if (result.address) return DottedIPv4(*result.address);
  return result.host.empty() ? std::string("-") : result.host;
}

const char* DecisionName(RankDecisionKind kind) {
  switch (kind) {
    case RankDecisionKind::Recommend:
      return "recommend";
    case RankDecisionKind::Keep:
      return "keep";
    case RankDecisionKind::AllFailed:
      break;
  }
  return "all-failed";
}

// The verdict's word in JSON: the first words of RankVerdictText.
std::string VerdictCode(const RankReport& report, std::size_t index) {
  const LocationResult& result = report.locations[index];
  if (!result.measurable) return "not-measurable";
  if (result.ruledOut) return "ruled-out";
  if (!result.Ranked()) return "not-measured";
  const std::string text = RankVerdictText(report, index);
  return text.substr(0, text.find(';'));
}

// Padded by bytes: a code page 950 character is two bytes and two columns wide.
std::string RankPad(const std::string& cp950, std::size_t width) {
  return cp950.size() >= width ? cp950 + ' ' : cp950 + std::string(width - cp950.size(), ' ');
}

void WriteRankText(const Context& context, const RankReport& report) {
  std::size_t nameWidth = 8;
  for (const LocationResult& result : report.locations)
    nameWidth = std::max(nameWidth, result.location.size() + 2);
  WriteListLine(context, context.out,
                RankPad("location", nameWidth) + RankPad("address", 18) + RankPad("p50", 11) +
                    RankPad("p90", 11) + RankPad("loss", 8) + RankPad("score", 11) + "verdict");
  for (std::size_t i = 0; i < report.locations.size(); ++i) {
    const LocationResult& r = report.locations[i];
    const std::string loss =
        r.roundsMs.empty() ? std::string("-") : Format("%zu/%zu", r.lostRounds, r.roundsMs.size());
    WriteListLine(context, context.out,
                  RankPad(r.location, nameWidth) + RankPad(RankAddress(report, r), 18) +
                      RankPad(RankMs(r, r.p50), 11) + RankPad(RankMs(r, r.p90), 11) + RankPad(loss, 8) +
                      RankPad(RankMs(r, r.score()), 11) + RankVerdictText(report, i));
  }
  WriteListLine(context, context.out, "");
  WriteLine(context, context.out, "recommendation: " + RankRecommendationLine(report));
}

nlohmann::ordered_json RankJson(const Context& context, const RankReport& report) {
  nlohmann::ordered_json doc;
  doc["client_root"] = NativeTextToUtf8(context.paths.root());
  doc["rounds"] = report.rounds;
  doc["timeout_ms"] = report.timeoutMs;
  doc["ports"] = report.ports;
  if (report.proxy)
    doc["via_proxy"] = {{"type", report.proxy->type},
                        {"host", Cp950ToUtf8(report.proxy->host)},
                        {"port", Cp950ToUtf8(report.proxy->port)}};
  else
    doc["via_proxy"] = nullptr;
  doc["current"] = report.currentLocation.empty() ? nlohmann::ordered_json(nullptr)
                                                  : nlohmann::ordered_json(Cp950ToUtf8(report.currentLocation));
  doc["locations"] = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < report.locations.size(); ++i) {
    const LocationResult& r = report.locations[i];
    nlohmann::ordered_json item;
    item["location"] = Cp950ToUtf8(r.location);
    item["host"] = Cp950ToUtf8(r.host);
    item["address"] = r.address ? nlohmann::ordered_json(DottedIPv4(*r.address)) : nlohmann::ordered_json(nullptr);
    item["lookup_ms"] = r.lookupMs ? nlohmann::ordered_json(*r.lookupMs) : nlohmann::ordered_json(nullptr);
    item["rounds_ms"] = r.roundsMs;
    item["lost_rounds"] = r.lostRounds;
    const bool ranked = r.Ranked();
    item["p50_ms"] = ranked ? nlohmann::ordered_json(r.p50) : nlohmann::ordered_json(nullptr);
    item["p90_ms"] = ranked ? nlohmann::ordered_json(r.p90) : nlohmann::ordered_json(nullptr);
    item["score_ms"] = item["p90_ms"];
    item["verdict"] = VerdictCode(report, i);
    item["reason"] = r.reason;
    item["too_fast"] = r.tooFast;
    doc["locations"].push_back(std::move(item));
  }
  const RankDecision& d = report.decision;
  doc["decision"] = DecisionName(d.kind);
  doc["recommended"] = d.kind == RankDecisionKind::Recommend
                           ? nlohmann::ordered_json(Cp950ToUtf8(report.locations[*d.winner].location))
                           : nlohmann::ordered_json(nullptr);
  doc["share"] = d.share;
  doc["line"] = Cp950ToUtf8(RankRecommendationLine(report));
  doc["duration_ms"] = report.durationMs;
  doc["interrupted"] = report.interrupted;
  return doc;
}

// --apply: the dialog's store, or why nothing was written. Exit code.
int ApplyRank(const Context& context, const RankReport& report, nlohmann::ordered_json* doc) {
  const RankDecision& d = report.decision;
  std::string said;
  int code = kExitOk;
  if (d.kind != RankDecisionKind::Recommend) {
    said = "nothing written";
  } else {
    const StoreLocationResult stored =
        StoreLocationKeepingPorts(context.profile, context.paths, report.locations[*d.winner].location);
    switch (stored.outcome) {
      case StoreLocationOutcome::Stored:
        said = "stored: " + PreferenceLabelText(context.profile, context.paths);
        break;
      case StoreLocationOutcome::NoPriorityPorts:
        said = "nothing written: no priority record to take the ports from; choose the location "
               "and its ports in the connect-setting dialog";
        code = kExitFailed;
        break;
      case StoreLocationOutcome::Refused:
        said = std::string("nothing written: ") + (stored.refusal != nullptr ? stored.refusal : "");
        code = kExitFailed;
        break;
      case StoreLocationOutcome::NotListed:
        said = "nothing written: the location is no longer listed";
        code = kExitFailed;
        break;
      case StoreLocationOutcome::NotSaved:
        said = "not saved: " + stored.failure->path + ": " + stored.failure->reason;
        code = kExitFailed;
        break;
    }
  }
  if (doc != nullptr)
    (*doc)["applied"] = {{"stored", code == kExitOk && d.kind == RankDecisionKind::Recommend},
                         {"line", Cp950ToUtf8(said)}};
  else
    WriteLine(context, code == kExitOk ? context.out : context.err, "apply: " + said);
  return code;
}

int RunRank(const Context& context, const RankCommandOptions& options) {
  if (options.rounds < 1 || options.rounds > kMaxRankRounds)
    return UsageError(context, Format("--rounds must be 1..%d", kMaxRankRounds));
  if (options.timeoutMs < 1) return UsageError(context, "--timeout-ms must be at least 1");
  if (const int unreadable = UnreadableHostFiles(context)) return unreadable;
  const RankInputs inputs = ReadRankInputs(context.profile, context.paths);
  if (inputs.candidates.empty()) {
    context.err << "reachkit-cli: no connection locations: the client's configuration below "
                << context.paths.root() << " lists none\n" << std::flush;
    return kExitNoHosts;
  }
  RankOptions rankOptions;
  rankOptions.rounds = options.rounds;
  rankOptions.connectTimeoutMs = options.timeoutMs;
  rankOptions.lookupTimeoutMs = options.timeoutMs;
  LocationRank rank(SystemNameResolver(), rankOptions);
  const RankReport report = rank.Run(inputs.candidates, inputs.ports, inputs.currentLocation, inputs.proxy,
                                     inputs.ownAddresses, inputs.routes, {}, &context.interrupted);
  if (report.interrupted) {
    context.err << "reachkit-cli: interrupted\n" << std::flush;
    return kExitInterrupted;
  }
  int code = report.decision.kind == RankDecisionKind::AllFailed ? kExitFailed : kExitOk;
  if (context.json) {
    nlohmann::ordered_json doc = RankJson(context, report);
    doc["applied"] = nullptr;
    if (options.apply && code == kExitOk) code = ApplyRank(context, report, &doc);
    WriteJson(context, doc);
  } else {
    WriteRankText(context, report);
    if (options.apply && code == kExitOk) code = ApplyRank(context, report, nullptr);
  }
  return code;
}

}  // namespace

void AddRankCommand(Commands& commands) {
  auto options = std::make_shared<RankCommandOptions>();
  CLI::App* command = commands.Add(
      "rank",
      "Which connection location answers fastest: every location the connect-setting dialog "
      "offers, on every port of the shared port list, in interleaved rounds of TCP connects "
      "(through the stored proxy when there is one); a table (location, address, p50, p90, "
      "loss, score, verdict) and the recommendation",
      "0 a recommendation or keep, 1 every location failed (or --apply could not store), "
      "3 no locations",
      [options](const Context& c) { return RunRank(c, *options); });
  command->add_option("--rounds", options->rounds, "rounds of connects per location (1..100)")
      ->default_val(kDefaultRankRounds);
  command->add_option("--timeout-ms", options->timeoutMs, "connect time-out")
      ->default_val(kConnectTimeoutMs);
  command->add_flag("--apply", options->apply,
                    "store the recommended location as the preferred connection, as the "
                    "connect-setting dialog does (the priority record's ports are kept)");
}

}  // namespace rk::cli
