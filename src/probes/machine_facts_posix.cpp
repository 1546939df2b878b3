#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "probes/machine_facts.h"

namespace rk {

std::string NativeTextToUtf8(std::string_view native) {
  // File names and arguments are UTF-8 here; a byte that is not valid UTF-8
  // is replaced where the JSON is written.
  return std::string(native);
}

std::string MachineHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return NativeTextToUtf8(name);
}

std::vector<std::string> MachineIPv4Addresses() {
  std::vector<std::string> addresses;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return addresses;
  const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owner(list, freeifaddrs);
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr)
      addresses.emplace_back(text);
  }
  return addresses;
}

FileFacts ReadFileFacts(const std::string& nativePath) {
  struct stat facts {};
  if (stat(nativePath.c_str(), &facts) != 0 || !S_ISREG(facts.st_mode)) return {};
  return {true, static_cast<uint64_t>(facts.st_size), static_cast<int64_t>(facts.st_mtime)};
}

}  // namespace rk
