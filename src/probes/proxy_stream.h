#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "probes/stop_flag.h"
#include "probes/tcp_connect.h"

// Bytes over a connected non-blocking socket, every wait bounded by one
// deadline and looking at the stop flag at least every kStopPollMs.
namespace rk::proxy {

using Deadline = std::chrono::steady_clock::time_point;

enum class IoStatus {
  Done,      // sent everything / received at least one byte
  Closed,    // the peer closed its side before any byte of this receive
  TimedOut,  // the deadline passed, or the stop flag was set
  Failed,    // the socket layer reported an error (reset, ...)
};

[[nodiscard]] IoStatus SendAll(const TcpSocket& socket, std::span<const uint8_t> bytes,
                               Deadline deadline, const StopFlag* stop);

// Appends between 1 and `limit` bytes (limit > 0) to `out`.
[[nodiscard]] IoStatus ReceiveSome(const TcpSocket& socket, std::vector<uint8_t>& out,
                                   std::size_t limit, Deadline deadline, const StopFlag* stop);

}  // namespace rk::proxy
