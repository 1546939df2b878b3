#pragma once
#include "diagnostics/tcp_connect.h"

namespace rk::testing {

// A TCP listener on 127.0.0.1 with a port of the system's choosing.
class LoopbackListener {
 public:
  LoopbackListener();
  [[nodiscard]] int port() const { return port_; }

 private:
  int port_ = 0;  // set while socket_ is made
  TcpSocket socket_;
};

[[nodiscard]] int ClosedLoopbackPort();  // taken, then freed at once: refuses connections
[[nodiscard]] int OpenHandleCount();     // descriptors (POSIX) or handles (Windows) of this process

}  // namespace rk::testing
