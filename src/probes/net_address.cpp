#include "probes/net_address.h"

#include <cstring>

#include "base/format.h"

namespace rk {

std::string DottedIPv4(uint32_t networkOrder) {
  // Network byte order is the order of the bytes in memory: a.b.c.d.
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  return Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

bool IsHostNameSyntax(std::string_view name) {
  if (name.empty()) return true;
  if (name.back() == '.') name.remove_suffix(1);
  if (name.empty() || name.size() > 253) return false;
  std::size_t labelStart = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '.') {
      const char c = name[i];
      const bool letterOrDigit =
          (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!letterOrDigit && c != '-' && c != '_') return false;
      continue;
    }
    const std::string_view label = name.substr(labelStart, i - labelStart);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
      return false;
    labelStart = i + 1;
  }
  return true;
}

}  // namespace rk
