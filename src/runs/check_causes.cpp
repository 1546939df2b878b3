#include "runs/check_causes.h"

#include "base/format.h"
#include "base/texts.h"

namespace rk {

namespace {

const char* UnreachableText(UnreachableKind kind) {
  switch (kind) {
    case UnreachableKind::Network:
      return "the network is unreachable";
    case UnreachableKind::Prohibited:
      return "the traffic is administratively prohibited";
    case UnreachableKind::RefusedOnBehalf:
      return "the port is unreachable (a filter answers for the host)";
    case UnreachableKind::Host:
      break;
  }
  return "the host is unreachable";
}


const char* UnreachableWords(UnreachableKind kind) {
  switch (kind) {
    case UnreachableKind::Network:
      return text::kUnreachableNetwork;
    case UnreachableKind::Prohibited:
      return text::kUnreachableProhibited;
    case UnreachableKind::RefusedOnBehalf:
      return text::kUnreachablePortOnBehalf;
    case UnreachableKind::Host:
      break;
  }
  return text::kUnreachableHost;
}

// The router that says so: the one that reported it, else the one that ends
// the path probe (where the platform keeps no reporter); 0 when unknown.
uint32_t ReportingRouter(const EndpointResult& endpoint, const AddressDiagnosis* diagnosis) {
  if (endpoint.reporter != 0) return endpoint.reporter;
  if (diagnosis != nullptr && diagnosis->path.endsWithReport) return diagnosis->path.hops.back().address;
  return 0;
}

// The last router that answered the path probe short of the target.
const PathHop* LastRouter(const AddressDiagnosis& diagnosis) {
  for (auto hop = diagnosis.path.hops.rbegin(); hop != diagnosis.path.hops.rend(); ++hop)
    if (hop->address != diagnosis.address) return &*hop;
  return nullptr;
}

}  // namespace

PathProbe ReadPath(uint32_t target, const std::vector<EchoResult>& results) {
  PathProbe path;
  for (std::size_t i = 0; i < results.size(); ++i) {
    const EchoResult& answer = results[i];
    if (answer.errorCode != 0) continue;
    const int ttl = static_cast<int>(i) + 1;
    // No router sits at two hops in a row: the same answer again means the
    // path ends there (the router reports the target unreachable).
    if (!path.hops.empty() && path.hops.back().ttl == ttl - 1 &&
        path.hops.back().address == answer.replyAddress) {
      path.endsWithReport = true;
      break;
    }
    path.hops.push_back({ttl, answer.replyAddress, answer.roundTripMs});
    path.lastTtl = ttl;
    // A router's "unreachable" ends the path at that router.
    if (answer.unreachable && answer.replyAddress != target) {
      path.endsWithReport = true;
      break;
    }
    if (answer.replyAddress == target) {
      path.targetReached = true;
      break;
    }
  }
  return path;
}

std::string CauseOf(const EndpointResult& endpoint, const AddressDiagnosis* diagnosis,
                    bool icmpAvailable) {
  switch (endpoint.verdict) {
    case Verdict::Open:
      return {};
    case Verdict::Refused:
      return Format("the host answers, but nothing listens on port %d", endpoint.port);
    case Verdict::Unreachable: {
      const uint32_t reporter = ReportingRouter(endpoint, diagnosis);
      if (reporter == 0)
        return Format("the network says %s (the reporting router is not known)",
                      UnreachableText(endpoint.unreachable));
      return Format("router %s says %s", DottedIPv4(reporter).c_str(),
                    UnreachableText(endpoint.unreachable));
    }
    case Verdict::Timeout: {
      if (!icmpAvailable) {
        const std::string hint = IcmpPermissionHint();
        return "no answer to the connection request; finding where it stops needs ICMP" +
               (hint.empty() ? std::string() : " (" + hint + ")");
      }
      if (diagnosis == nullptr) return "no answer to the connection request";
      if (diagnosis->echoAnswered || diagnosis->path.targetReached)
        return Format("the host answers echo, so port %d is filtered on the host or in front of it",
                      endpoint.port);
      // What the path probe saw: the router that reports the address
      // unreachable, or the last one that answered.
      if (diagnosis->path.endsWithReport)
        return Format("router %d (%s) reports the address unreachable", diagnosis->path.lastTtl,
                      DottedIPv4(diagnosis->path.hops.back().address).c_str());
      if (const PathHop* hop = LastRouter(*diagnosis))
        return Format("no answer beyond router %d (%s)", hop->ttl, DottedIPv4(hop->address).c_str());
      return "no answer, not even from the first router";
    }
    case Verdict::Unresolved:
    case Verdict::Error:
      return endpoint.reason;
    case Verdict::NoPort:
      return "the entry has no port to test";
    case Verdict::NoHost:
      return "the entry has no host to test";
    case Verdict::Interrupted:
      return "the check was stopped before this endpoint had a verdict";
  }
  return {};
}

std::string CauseWords(const EndpointResult& endpoint, const AddressDiagnosis* diagnosis,
                       bool icmpAvailable) {
  switch (endpoint.verdict) {
    case Verdict::Open:
      return {};
    case Verdict::Refused:
      return Format(text::kCauseRefusedFormat, endpoint.port);
    case Verdict::Unreachable: {
      const uint32_t reporter = ReportingRouter(endpoint, diagnosis);
      if (reporter == 0) return Format(text::kCauseReportedUnknownFormat, UnreachableWords(endpoint.unreachable));
      return Format(text::kCauseReportedFormat, DottedIPv4(reporter).c_str(),
                    UnreachableWords(endpoint.unreachable));
    }
    case Verdict::Timeout:
      if (!icmpAvailable) return text::kCauseNeedsIcmp;
      if (diagnosis == nullptr) return text::kCauseNoAnswer;
      if (diagnosis->echoAnswered || diagnosis->path.targetReached)
        return Format(text::kCauseFilteredFormat, endpoint.port);
      if (diagnosis->path.endsWithReport)
        return Format(text::kCauseRouterReportsFormat, diagnosis->path.lastTtl,
                      DottedIPv4(diagnosis->path.hops.back().address).c_str());
      if (const PathHop* hop = LastRouter(*diagnosis))
        return Format(text::kCauseBeyondRouterFormat, hop->ttl, DottedIPv4(hop->address).c_str());
      return text::kCauseNothingAnswers;
    case Verdict::Unresolved:
      return text::kCauseNameNotFound;
    case Verdict::Error:
      if (endpoint.port < 1 || endpoint.port > 65535) return Format(text::kCausePortOutOfRangeFormat, endpoint.port);
      return text::kCauseError;
    case Verdict::NoPort:
      return text::kCauseNoPortSet;
    case Verdict::NoHost:
      return text::kVerdictNoHost;
    case Verdict::Interrupted:
      return {};
  }
  return {};
}

}  // namespace rk
