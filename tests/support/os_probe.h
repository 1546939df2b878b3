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

[[nodiscard]] int ClosedLoopbackPort();  // taken, then freed at once: refuses connections
[[nodiscard]] int OpenHandleCount();     // descriptors (POSIX) or handles (Windows) of this process

}  // namespace rk::testing
