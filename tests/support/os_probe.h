#pragma once
#include <cstdint>

namespace rk::testing {

// A TCP listener on 127.0.0.1 with a port of the system's choosing.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  [[nodiscard]] int port() const { return port_; }

 private:
  intptr_t socket_ = -1;
  int port_ = 0;
};

// A loopback port that refuses connections (taken, then freed at once).
[[nodiscard]] int ClosedLoopbackPort();

// Open file descriptors (POSIX) or handles (Windows) of this process.
[[nodiscard]] int OpenHandleCount();

}  // namespace rk::testing
