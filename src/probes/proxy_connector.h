#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/client_paths.h"
#include "config/profile_store.h"
#include "config/proxy_settings.h"
#include "probes/net_address.h"
#include "probes/stop_flag.h"
#include "probes/tcp_connect.h"

namespace rk {

// The proxy the client would use: the values of one family of the stored
// keys, as text, and the file they were read from.
struct ProxyRoute {
  int32_t type = 0;          // "ProxyType" as stored; only 1..4 name a proxy
  std::string host;          // "ProxyServerName" or "SOCKSProxyServerName"
  std::string port;          // "ProxyPort" or "SOCKSProxyPort", as typed
  std::string user;          // HTTP: "UserName"; SOCKS5: "SOCKSUserName"; else empty
  std::string password;      // its password; never shown anywhere
  std::string settingsPath;  // the file the values came from
};

// The values of the key family (KeyFamilyOf) of `settings.m_nProxyType`.
// Any other type gives the type alone, which RouteProblem then names.
[[nodiscard]] ProxyRoute RouteFromSettings(const ProxySettings& settings, std::string settingsPath);

// The proxy the trading client itself uses: the nine keys of its base
// configuration (Bin\BaseConfig.ini), which the proxy-setting dialog keeps in
// step with the tool's copy.
[[nodiscard]] ProxyRoute StoredProxyRoute(ProfileStore& profile, const ClientPaths& paths);

enum class ProxyVerdict {
  OpenViaProxy,        // the proxy connected to the target
  ProxyUnreachable,    // no TCP connection to the proxy itself (refused, timed out, no address)
  ProxyLoginRefused,   // the proxy wants a login, or refused the stored one
  ProxyRefusedTarget,  // the proxy would not connect to the target; reason is its own
  ProxyProtocolError,  // the proxy's answer is not the protocol
  Timeout,             // the proxy took the connection but did not finish in time
  Error,               // bad stored values or target; nothing was sent
};

// "open-via-proxy", "proxy-unreachable", ... : the names the outputs use.
[[nodiscard]] const char* ProxyVerdictName(ProxyVerdict verdict);

struct ProxyResult {
  ProxyVerdict verdict = ProxyVerdict::Error;
  std::string reason;        // plain words; the proxy's own reason where it gave one
  std::string settingsPath;  // copied from the route
  double ms = 0;             // from the start of the attempt to the verdict
};

// A target as the client names it: host text (numeric or a name) and port.
struct ProxyTarget {
  std::string host;
  int32_t port = 0;
};

// Why the route cannot be used, or nullopt when it can: a type outside 1..4,
// an empty host, a port that is not a decimal number 1..65535 (blanks around
// it are allowed), a SOCKS5 login longer than 255 bytes.
[[nodiscard]] std::optional<std::string> RouteProblem(const ProxyRoute& route);

// Opens TCP connections to targets through one stored proxy and closes them
// at once; no data of the target is read or sent.
// * Every attempt (connect to the proxy, handshake) ends within `timeoutMs`
//   of its start; a set `stop` ends it early with kTimeout.
// * The proxy's host is taken as numeric IPv4 first, then looked up with the
//   resolver. A SOCKS4 proxy needs the target's address, so a target name is
//   looked up here for type 2 (from several threads at once in ConnectAll);
//   the other types hand the name to the proxy.
class ProxyConnector {
 public:
  ProxyConnector(ProxyRoute route, NameResolver& resolver, uint32_t timeoutMs = kConnectTimeoutMs);

  [[nodiscard]] const ProxyRoute& Route() const { return route_; }

  // One attempt through the proxy.
  [[nodiscard]] ProxyResult Connect(const ProxyTarget& target, const StopFlag* stop = nullptr) const;

  // All targets at once: up to kMaxWorkers attempts run together and share
  // one deadline (the call's start + the time-out), so up to that many
  // targets take no longer than one time-out, however slowly threads start. `onResult` (may be
  // empty) is called once per target as its verdict arrives, never by two
  // threads at once. Results are in the order of `targets`.
  using ResultCallback = std::function<void(std::size_t index, const ProxyResult&)>;
  [[nodiscard]] std::vector<ProxyResult> ConnectAll(const std::vector<ProxyTarget>& targets,
                                                    const ResultCallback& onResult = {},
                                                    const StopFlag* stop = nullptr) const;
  static constexpr std::size_t kMaxWorkers = 64;

 private:
  ProxyRoute route_;
  NameResolver& resolver_;  // not owned
  uint32_t timeoutMs_;
};

}  // namespace rk
