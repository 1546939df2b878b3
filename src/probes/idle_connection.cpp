#include "probes/idle_connection.h"

namespace rk {

const char* IdleEndName(IdleEnd end) {
  switch (end) {
    case IdleEnd::None: return "open";
    case IdleEnd::Closed: return "closed";
    case IdleEnd::Reset: return "reset";
    case IdleEnd::KeepaliveFailed: return "keepalive-failed";
    case IdleEnd::Error: break;
  }
  return "error";
}

}  // namespace rk
