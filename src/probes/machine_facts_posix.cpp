#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

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

std::vector<Ipv4Route> MachineIPv4Routes() {
  // /proc/net/route: Iface Destination Gateway Flags RefCnt Use Metric Mask ...,
  // addresses in hex as the kernel holds them (network byte order in memory).
  std::vector<Ipv4Route> routes;
  std::ifstream file("/proc/net/route");
  std::string line;
  std::getline(file, line);  // the heading
  constexpr unsigned long kRouteUp = 0x1;
  while (std::getline(file, line) && routes.size() < 4096) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags, refCount, use, metric, mask;
    if (!(fields >> name >> destination >> gateway >> flags >> refCount >> use >> metric >> mask))
      continue;
    if ((std::strtoul(flags.c_str(), nullptr, 16) & kRouteUp) == 0) continue;
    routes.push_back({static_cast<uint32_t>(std::strtoul(destination.c_str(), nullptr, 16)),
                      static_cast<uint32_t>(std::strtoul(mask.c_str(), nullptr, 16)),
                      static_cast<uint32_t>(std::strtoul(gateway.c_str(), nullptr, 16))});
  }
  return routes;
}

std::vector<std::string> MachineDnsServers() {
  std::vector<std::string> servers;
  std::ifstream file("/etc/resolv.conf");
  std::string line;
  for (int lines = 0; lines < 1000 && std::getline(file, line); ++lines) {
    std::istringstream fields(line);
    std::string keyword, server;
    if (fields >> keyword >> server && keyword == "nameserver" &&
        std::find(servers.begin(), servers.end(), server) == servers.end())
      servers.push_back(server);
  }
  return servers;
}

FileFacts ReadFileFacts(const std::string& nativePath) {
  struct stat facts {};
  if (stat(nativePath.c_str(), &facts) != 0) return {};
  FileFacts result{true, static_cast<uint64_t>(facts.st_size), static_cast<int64_t>(facts.st_mtime), {}};
  if (S_ISDIR(facts.st_mode)) {
    result.size = 0;
    result.unreadable = std::strerror(EISDIR);
    return result;
  }
  const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    result.unreadable = std::strerror(errno);
  else
    ::close(fd);
  return result;
}

}  // namespace rk
