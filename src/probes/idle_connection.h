#pragma once
// An established TCP connection left idle on purpose, to learn how and when
// the road forgets it: a router or NAT that drops idle connections shows as a
// reset or a failed keepalive after a steady idle time. The connection itself
// is ConnectWithTimeout's (non-blocking).
#include <cstdint>
#include <string>

#include "probes/tcp_connect.h"

namespace rk {

// How an idle connection ended.
enum class IdleEnd {
  None,             // still open
  Closed,           // the far end closed it (an orderly FIN)
  Reset,            // a reset came (the far end, or a NAT or firewall that forgot it)
  KeepaliveFailed,  // the keepalive probes went unanswered (or the network reported the host gone)
  Error,            // anything else; `reason` says what
};
[[nodiscard]] const char* IdleEndName(IdleEnd end);  // "open", "closed", "reset", "keepalive-failed", "error"

// Turns TCP keepalive on: the first probe after `idleSeconds` without
// traffic, then one every `intervalSeconds`; the platform gives up after a
// few unanswered (3 where it can be set). False when the platform refused.
bool EnableKeepalive(const TcpSocket& socket, uint32_t idleSeconds, uint32_t intervalSeconds);

// A look at the connection that never waits: None while it is open. Data the
// far end sent (a greeting) is read and dropped.
[[nodiscard]] IdleEnd PollIdle(const TcpSocket& socket, std::string* reason = nullptr);

}  // namespace rk
