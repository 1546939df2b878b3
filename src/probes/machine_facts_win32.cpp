#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <vector>

#include "base/codepage.h"
#include "probes/machine_facts.h"

namespace rk {

std::string NativeTextToUtf8(std::string_view native) { return Cp950ToUtf8(native); }

std::string MachineHostName() {
  char name[256] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameExA(ComputerNameDnsHostname, name, &size)) return {};
  return NativeTextToUtf8(std::string_view(name, size));
}

namespace {

// The IP helper library, loaded when asked for: the program starts (and says
// what it lacks) on a system where the library cannot be had, as it does for
// ICMP.DLL.
class IpHelper {
 public:
  IpHelper() : module_(LoadLibraryA("iphlpapi.dll")) {}
  ~IpHelper() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  IpHelper(const IpHelper&) = delete;
  IpHelper& operator=(const IpHelper&) = delete;

  using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
  [[nodiscard]] GetAdaptersAddressesFn AdaptersAddresses() const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<GetAdaptersAddressesFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "GetAdaptersAddresses")));
  }

 private:
  HMODULE module_;  // owned
};

}  // namespace

std::vector<std::string> MachineIPv4Addresses() {
  std::vector<std::string> addresses;
  const IpHelper helper;
  const auto getAdaptersAddresses = helper.AdaptersAddresses();
  if (getAdaptersAddresses == nullptr) return addresses;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    rc = getAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                                           GAA_FLAG_SKIP_DNS_SERVER,
                              nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                              &size);
  }
  if (rc != NO_ERROR) return addresses;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
      const SOCKADDR* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      char text[INET_ADDRSTRLEN] = {};
      const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
      if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) != nullptr)
        addresses.emplace_back(text);
    }
  }
  return addresses;
}

FileFacts ReadFileFacts(const std::string& nativePath) {
  WIN32_FILE_ATTRIBUTE_DATA facts{};
  if (!GetFileAttributesExA(nativePath.c_str(), GetFileExInfoStandard, &facts) ||
      (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {};
  const uint64_t size = (static_cast<uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
  const uint64_t ticks = (static_cast<uint64_t>(facts.ftLastWriteTime.dwHighDateTime) << 32) |
                         facts.ftLastWriteTime.dwLowDateTime;
  // FILETIME counts 100 ns from 1601-01-01; 11644473600 s lie before 1970.
  const int64_t unixSeconds = static_cast<int64_t>(ticks / 10'000'000ULL) - 11'644'473'600LL;
  return {true, size, unixSeconds};
}

}  // namespace rk
