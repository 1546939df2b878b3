#include "probes/proxy_connector.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "base/format.h"
#include "probes/proxy_protocol.h"
#include "probes/proxy_stream.h"

namespace rk {

using proxy::Bytes;
using proxy::Reply;
using Clock = std::chrono::steady_clock;

ProxyRoute RouteFromSettings(const ProxySettings& settings, std::string settingsPath) {
  ProxyRoute route;
  route.type = settings.m_nProxyType;
  route.settingsPath = std::move(settingsPath);
  if (const std::optional<ProxyKeyFamily> family = KeyFamilyOf(settings.m_nProxyType)) {
    route.host = settings.*family->host;
    route.port = settings.*family->port;
    if (family->offersLogin()) {
      route.user = settings.*family->user;
      route.password = settings.*family->password;
    }
  }
  return route;
}

ProxyRoute StoredProxyRoute(ProfileStore& profile, const ClientPaths& paths) {
  const std::string path = paths.BaseConfigPath();
  return RouteFromSettings(LoadProxySettings(profile, path), path);
}

const char* ProxyVerdictName(ProxyVerdict verdict) {
  switch (verdict) {
    case ProxyVerdict::OpenViaProxy:
      return "open-via-proxy";
    case ProxyVerdict::ProxyUnreachable:
      return "proxy-unreachable";
    case ProxyVerdict::ProxyLoginRefused:
      return "proxy-login-refused";
    case ProxyVerdict::ProxyRefusedTarget:
      return "proxy-refused-target";
    case ProxyVerdict::ProxyProtocolError:
      return "proxy-protocol-error";
    case ProxyVerdict::Timeout:
      return "timeout";
    case ProxyVerdict::Error:
      break;
  }
  return "error";
}

namespace {

// A decimal port 1..65535, blanks and tabs around it allowed.
std::optional<uint16_t> StoredPort(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const std::size_t last = text.find_last_not_of(" \t");
  const std::string_view digits = std::string_view(text).substr(first, last - first + 1);
  if (digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  uint32_t value = 0;
  for (const char c : digits) value = value * 10 + static_cast<uint32_t>(c - '0');
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

ProxyResult ProxyOutcome(ProxyVerdict verdict, std::string reason) {
  return ProxyResult{verdict, std::move(reason), {}, 0};
}

// One handshake over an open connection to the proxy.
class Handshake {
 public:
  Handshake(const TcpSocket& socket, Clock::time_point deadline, uint32_t timeoutMs,
            const StopFlag* stop)
      : socket_(socket), deadline_(deadline), timeoutMs_(timeoutMs), stop_(stop) {}

  // Sends `request`, then reads until `parse` judges the reply. `stream`
  // replies (HTTP) are read in chunks; the others exactly as far as the
  // parser asks, so no byte past a SOCKS reply is ever taken.
  template <typename Parser>
  std::optional<ProxyResult> Step(const Bytes& request, Parser parse, bool stream, Reply& reply) {
    switch (proxy::SendAll(socket_, request, deadline_, stop_)) {
      case proxy::IoStatus::Done:
        break;
      case proxy::IoStatus::TimedOut:
        return TimedOut();
      default:
        return ProxyOutcome(ProxyVerdict::ProxyProtocolError,
                       "the proxy closed the connection before the request was sent");
    }
    Bytes received;
    reply = parse(received);
    // Each pass adds at least one byte and the parsers end at a bounded size
    // (the HTTP header limit at most), so this loop ends.
    while (reply.status == Reply::Status::NeedMore) {
      const std::size_t limit =
          stream ? std::max<std::size_t>(1, proxy::kMaxHttpHeaderBytes - std::min(received.size(), proxy::kMaxHttpHeaderBytes))
                 : reply.more;
      switch (proxy::ReceiveSome(socket_, received, limit, deadline_, stop_)) {
        case proxy::IoStatus::Done:
          break;
        case proxy::IoStatus::TimedOut:
          return TimedOut();
        case proxy::IoStatus::Closed:
          return ProxyOutcome(ProxyVerdict::ProxyProtocolError,
                         received.empty() ? "the proxy closed the connection without answering"
                                          : Format("the proxy closed the connection mid-reply, after %zu bytes",
                                                   received.size()));
        case proxy::IoStatus::Failed:
          return ProxyOutcome(ProxyVerdict::ProxyProtocolError,
                         Format("the proxy reset the connection after %zu bytes of its reply",
                                received.size()));
      }
      reply = parse(received);
    }
    switch (reply.status) {
      case Reply::Status::LoginRefused:
        return ProxyOutcome(ProxyVerdict::ProxyLoginRefused, reply.reason);
      case Reply::Status::TargetRefused:
        return ProxyOutcome(ProxyVerdict::ProxyRefusedTarget, reply.reason);
      case Reply::Status::ProtocolError:
        return ProxyOutcome(ProxyVerdict::ProxyProtocolError, reply.reason);
      default:
        return std::nullopt;  // granted: the caller goes on
    }
  }

 private:
  ProxyResult TimedOut() const {
    if (stop_ != nullptr && stop_->load()) return ProxyOutcome(ProxyVerdict::Timeout, "stopped");
    return ProxyOutcome(ProxyVerdict::Timeout,
                   Format("the proxy took the connection but did not answer within %u ms",
                          timeoutMs_));
  }

  const TcpSocket& socket_;
  Clock::time_point deadline_;
  uint32_t timeoutMs_;
  const StopFlag* stop_;
};

// The CONNECT request for the target, or the reason there is none.
struct TargetRequest {
  Bytes bytes;
  std::string error;
};

TargetRequest BuildTargetRequest(const ProxyRoute& route, const ProxyTarget& target,
                                 NameResolver& resolver) {
  const auto port = static_cast<uint16_t>(target.port);
  const std::optional<uint32_t> numeric = ParseNumericIPv4(target.host);
  switch (route.type) {
    case kProxyHttp11:
      return {proxy::HttpConnectRequest(numeric ? DottedIPv4(*numeric) : target.host, port,
                                        route.user, route.password),
              {}};
    case kProxySocks4: {
      const std::optional<uint32_t> address = numeric ? numeric : resolver.FirstIPv4(target.host);
      if (!address)
        return {{},
                Format("SOCKS4 needs the target's address and the name %s does not resolve",
                       proxy::PrintableText(target.host).c_str())};
      return {proxy::Socks4Request(*address, port), {}};
    }
    case kProxySocks4a: {
      if (numeric) return {proxy::Socks4Request(*numeric, port), {}};
      auto request = proxy::Socks4aRequest(target.host, port);
      if (!request) return {{}, "the target name cannot be sent in a SOCKS4a request"};
      return {std::move(*request), {}};
    }
    default: {
      auto request = proxy::Socks5ConnectRequest(target.host, numeric, port);
      if (!request) return {{}, "the target name is longer than the 255 bytes SOCKS5 can carry"};
      return {std::move(*request), {}};
    }
  }
}

}  // namespace

std::optional<std::string> RouteProblem(const ProxyRoute& route) {
  if (!IsProxyStored(route.type))
    return Format("proxy type %d is not one of 1 (HTTP), 2 (SOCKS4), 3 (SOCKS4a), 4 (SOCKS5)",
                  route.type);
  if (route.host.empty()) return std::string("the stored proxy host is empty");
  if (!StoredPort(route.port))
    return "the stored proxy port \"" + proxy::PrintableText(route.port) +
           "\" is not a number 1..65535";
  if (route.type == kProxySocks5 && !route.user.empty() &&
      !proxy::Socks5LoginRequest(route.user, route.password))
    return std::string("the stored SOCKS5 user or password is longer than 255 bytes");
  return std::nullopt;
}

ProxyConnector::ProxyConnector(ProxyRoute route, NameResolver& resolver, uint32_t timeoutMs)
    : route_(std::move(route)), resolver_(resolver), timeoutMs_(timeoutMs) {}

namespace {

// The proxy's address: numeric first, then a look-up.
std::optional<uint32_t> ProxyAddress(const ProxyRoute& route, NameResolver& resolver) {
  if (const auto numeric = ParseNumericIPv4(route.host)) return numeric;
  return resolver.FirstIPv4(route.host);
}

// One attempt, over by `deadline` (its start + the time-out, or earlier).
ProxyResult Attempt(const ProxyRoute& route, NameResolver& resolver,
                    std::optional<uint32_t> proxyAddress, uint32_t timeoutMs,
                    Clock::time_point deadline, const ProxyTarget& target, const StopFlag* stop) {
  if (auto problem = RouteProblem(route)) return ProxyOutcome(ProxyVerdict::Error, *problem);
  if (target.host.empty()) return ProxyOutcome(ProxyVerdict::Error, "the target host is empty");
  if (target.port < 1 || target.port > 65535)
    return ProxyOutcome(ProxyVerdict::Error,
                   Format("the target port %d is not a number 1..65535", target.port));
  TargetRequest connectRequest = BuildTargetRequest(route, target, resolver);
  if (!connectRequest.error.empty()) return ProxyOutcome(ProxyVerdict::Error, connectRequest.error);
  if (!proxyAddress)
    return ProxyOutcome(ProxyVerdict::ProxyUnreachable,
                   "the proxy's name " + proxy::PrintableText(route.host) + " does not resolve");

  const uint16_t proxyPort = *StoredPort(route.port);
  const std::string proxyText = Format("%s:%u", DottedIPv4(*proxyAddress).c_str(), proxyPort);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  const TcpSocket socket = ConnectWithTimeout(DottedIPv4(*proxyAddress), proxyPort,
                                              static_cast<uint32_t>(std::max<long long>(left, 0)), stop);
  if (!socket.valid()) {
    if (stop != nullptr && stop->load()) return ProxyOutcome(ProxyVerdict::Timeout, "stopped");
    // The connect layer says only whether it connected: a failure well before
    // the deadline is the platform's report of a refusal.
    if (Clock::now() + std::chrono::milliseconds(kStopPollMs) < deadline)
      return ProxyOutcome(ProxyVerdict::ProxyUnreachable,
                     "refused: the proxy " + proxyText + " does not accept connections");
    return ProxyOutcome(ProxyVerdict::ProxyUnreachable,
                   Format("timed out: the proxy %s did not answer within %u ms", proxyText.c_str(),
                          timeoutMs));
  }

  Handshake handshake(socket, deadline, timeoutMs, stop);
  Reply reply;
  std::optional<ProxyResult> ended;
  switch (route.type) {
    case kProxyHttp11:
      ended = handshake.Step(connectRequest.bytes, proxy::ParseHttpConnectReply, true, reply);
      break;
    case kProxySocks4:
    case kProxySocks4a:
      ended = handshake.Step(connectRequest.bytes, proxy::ParseSocks4Reply, false, reply);
      break;
    default: {
      const bool offerLogin = !route.user.empty();
      ended = handshake.Step(
          proxy::Socks5Greeting(offerLogin),
          [offerLogin](std::span<const uint8_t> bytes) {
            return proxy::ParseSocks5MethodReply(bytes, offerLogin);
          },
          false, reply);
      if (!ended && reply.method == proxy::kSocks5UserPassword)
        ended = handshake.Step(*proxy::Socks5LoginRequest(route.user, route.password),
                               proxy::ParseSocks5LoginReply, false, reply);
      if (!ended)
        ended = handshake.Step(connectRequest.bytes, proxy::ParseSocks5ConnectReply, false, reply);
      break;
    }
  }
  if (ended) return *ended;
  return ProxyOutcome(ProxyVerdict::OpenViaProxy,
                 Format("the %s proxy %s connected to %s:%d", ProxyTypeName(route.type),
                        proxyText.c_str(), proxy::PrintableText(target.host).c_str(),
                        target.port));
}

}  // namespace

ProxyResult ProxyConnector::Connect(const ProxyTarget& target, const StopFlag* stop) const {
  const Clock::time_point start = Clock::now();
  const bool usable = !RouteProblem(route_);
  const std::optional<uint32_t> proxyAddress =
      usable ? ProxyAddress(route_, resolver_) : std::nullopt;
  ProxyResult result = Attempt(route_, resolver_, proxyAddress, timeoutMs_,
                               Clock::now() + std::chrono::milliseconds(timeoutMs_), target, stop);
  result.settingsPath = route_.settingsPath;
  result.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return result;
}

std::vector<ProxyResult> ProxyConnector::ConnectAll(const std::vector<ProxyTarget>& targets,
                                                    const ResultCallback& onResult,
                                                    const StopFlag* stop) const {
  std::vector<ProxyResult> results(targets.size());
  if (targets.empty()) return results;
  const bool usable = !RouteProblem(route_);
  const std::optional<uint32_t> proxyAddress =
      usable ? ProxyAddress(route_, resolver_) : std::nullopt;

  std::atomic<std::size_t> next{0};
  std::mutex reporting;
  const std::size_t workerCount = std::min(targets.size(), kMaxWorkers);
  // The first round of attempts shares one deadline from the start of the
  // batch, so the time the workers take to start does not add to the total;
  // later attempts each get the full time-out from their own start.
  const Clock::time_point firstDeadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
  // Each worker takes the next target until none is left; results land in
  // their own slot, the callback is serialised.
  auto work = [&] {
    for (std::size_t i = next.fetch_add(1); i < targets.size(); i = next.fetch_add(1)) {
      const Clock::time_point begun = Clock::now();
      const Clock::time_point deadline =
          i < workerCount ? firstDeadline : begun + std::chrono::milliseconds(timeoutMs_);
      ProxyResult result =
          Attempt(route_, resolver_, proxyAddress, timeoutMs_, deadline, targets[i], stop);
      result.settingsPath = route_.settingsPath;
      result.ms = std::chrono::duration<double, std::milli>(Clock::now() - begun).count();
      const std::lock_guard<std::mutex> lock(reporting);
      results[i] = std::move(result);
      if (onResult) onResult(i, results[i]);
    }
  };
  std::vector<std::thread> workers;
  const std::size_t wanted = workerCount - 1;  // this thread works too
  for (std::size_t k = 0; k < wanted; ++k) {
    try {
      workers.emplace_back(work);
    } catch (...) {  // no more threads to be had: the ones running share the rest
      break;
    }
  }
  work();
  for (std::thread& worker : workers) worker.join();
  return results;
}

}  // namespace rk
