#include "diagnostics/net_address.h"

#include <cstring>

#include "base/format.h"

namespace rk {

std::string DottedIPv4(uint32_t networkOrder) {
  // Network byte order is the order of the bytes in memory: a.b.c.d.
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  return Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

}  // namespace rk
