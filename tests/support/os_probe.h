#pragma once
#include <vector>

#include "probes/tcp_connect.h"

namespace rk::testing {

// A TCP listener on 127.0.0.1 with a port of the system's choosing.
class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = 64);
  [[nodiscard]] int port() const { return port_; }
  // Accepts and closes what waits in the queue; how many there were.
  int DrainQueued();

 private:
  int port_ = 0;  // set while socket_ is made
  TcpSocket socket_;
};

// A listener on 127.0.0.1 that never accepts and whose queue is full, so
// handshakes to it go unanswered until it goes away.
class StalledListener {
 public:
  StalledListener();
  [[nodiscard]] int port() const { return listener_.port(); }
  [[nodiscard]] bool stalled() const { return stalled_; }

 private:
  LoopbackListener listener_{1};
  std::vector<TcpSocket> held_;
  bool stalled_ = false;
};

[[nodiscard]] int ClosedLoopbackPort();  // taken, then freed at once: refuses connections
[[nodiscard]] int OpenHandleCount();     // descriptors (POSIX) or handles (Windows) of this process

}  // namespace rk::testing
