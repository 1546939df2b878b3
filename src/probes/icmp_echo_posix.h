#pragma once
#include <cstdint>

#include "probes/icmp_echo.h"
#include "probes/stop_flag.h"

namespace rk {

// The two ways to send ICMP echoes without privileges beyond the kernel's:
// an ICMP datagram ("ping") socket, which net.ipv4.ping_group_range grants
// per group, and a raw socket, which needs CAP_NET_RAW.
enum class IcmpSocketKind { Datagram, Raw };

// Whether this process may open a socket of `kind` now.
[[nodiscard]] bool CanOpenIcmpSocket(IcmpSocketKind kind);

// One echo over a new socket of `kind`, with the contract of
// EchoService::SendEcho. Lets tests drive both kinds whatever the service
// chose.
int SendEchoOver(IcmpSocketKind kind, uint32_t destination, EchoResult& result, int ttl,
                 uint32_t timeoutMs, int dataSize, int noOptions, const StopFlag* stop);

}  // namespace rk
