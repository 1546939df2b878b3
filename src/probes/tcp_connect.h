#pragma once
#include <cstdint>
#include <string>

#include "probes/stop_flag.h"

namespace rk {

// The one limit of a TCP connection attempt (to a host or a proxy): 10 s.
// Everything that connects takes it as its default; tests and the CLI's
// --timeout-ms pass a shorter one.
inline constexpr uint32_t kConnectTimeoutMs = 10000;

// An owned socket handle; closing shuts both directions down first.
class TcpSocket {
 public:
  TcpSocket() = default;
  explicit TcpSocket(intptr_t handle) : handle_(handle) {}
  ~TcpSocket() { Close(); }
  TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }
  TcpSocket& operator=(TcpSocket&& other) noexcept;
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  [[nodiscard]] bool valid() const { return handle_ != kInvalid; }
  // The platform's handle, still owned by this object (for I/O on it).
  [[nodiscard]] intptr_t native() const { return handle_; }
  // Shuts both directions down and closes; idempotent.
  void Close();

  static constexpr intptr_t kInvalid = -1;

 private:
  intptr_t handle_ = kInvalid;
};

// One non-blocking connection attempt to ipText:(port & 0xFFFF), waiting up to
// timeoutMs for the socket to become writable.
// * The wait ends when the attempt settles; the socket's pending error then
//   decides, so a refused port fails as soon as the platform says so and only
//   an established connection succeeds.
// * A set `stop` ends the wait early as a failure.
[[nodiscard]] TcpSocket ConnectWithTimeout(const std::string& ipText, int32_t tcpPort,
                                           uint32_t timeoutMs = kConnectTimeoutMs,
                                           const StopFlag* stop = nullptr);

}  // namespace rk
