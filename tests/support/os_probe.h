#pragma once
#include <cstdint>
#include <vector>

#include "probes/tcp_connect.h"

namespace rk::testing {

// A TCP listener on a loopback address (127.0.0.1 unless given) with a port of the system's choosing.
class LoopbackListener {
 public:
  explicit LoopbackListener(int backlog = 64, uint32_t address = 0x7F000001, int port = 0);
  [[nodiscard]] int port() const { return port_; }
  [[nodiscard]] intptr_t native() const { return socket_.native(); }
  // Accepts and closes what waits in the queue; how many there were.
  int DrainQueued();

 private:
  int port_ = 0;  // set while socket_ is made
  TcpSocket socket_;
};

// A loopback listener that never accepts and whose queue is full, so handshakes to it go
// unanswered until it goes away.
class StalledListener {
 public:
  explicit StalledListener(uint32_t address = 0x7F000001);  // host byte order
  [[nodiscard]] int port() const { return listener_.port(); }
  [[nodiscard]] bool stalled() const { return stalled_; }

 private:
  LoopbackListener listener_;
  std::vector<TcpSocket> held_;
  bool stalled_ = false;
};

[[nodiscard]] int ClosedLoopbackPort();  // taken, then freed at once: refuses connections
[[nodiscard]] int OpenHandleCount();     // descriptors (POSIX) or handles (Windows) of this process

}  // namespace rk::testing
