#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>
#include <string>
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
    return Function<GetAdaptersAddressesFn>("GetAdaptersAddresses");
  }
  using GetIpForwardTableFn = DWORD(WINAPI*)(PMIB_IPFORWARDTABLE, PULONG, BOOL);
  [[nodiscard]] GetIpForwardTableFn IpForwardTable() const {
    return Function<GetIpForwardTableFn>("GetIpForwardTable");
  }

 private:
  template <typename Fn>
  [[nodiscard]] Fn Function(const char* name) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HMODULE module_;  // owned
};

// The adapters' addresses (and DNS servers unless skipped) in `buffer`; false
// when the library or the list cannot be had.
bool ReadAdapters(ULONG family, ULONG flags, std::vector<unsigned char>& buffer) {
  const IpHelper helper;
  const auto getAdaptersAddresses = helper.AdaptersAddresses();
  if (getAdaptersAddresses == nullptr) return false;
  ULONG size = 16 * 1024;
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    rc = getAdaptersAddresses(family, flags, nullptr,
                              reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  return rc == NO_ERROR && !buffer.empty();
}

std::string AddressText(const SOCKADDR* address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address == nullptr) return {};
  if (address->sa_family == AF_INET &&
      inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text))
    return text;
  if (address->sa_family == AF_INET6 &&
      inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text))
    return text;
  return {};
}

}  // namespace

std::vector<Ipv4Route> MachineIPv4Routes() {
  std::vector<Ipv4Route> routes;
  const IpHelper helper;
  const auto getIpForwardTable = helper.IpForwardTable();
  if (getIpForwardTable == nullptr) return routes;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  DWORD rc = ERROR_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 3 && rc == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    buffer.resize(size);
    rc = getIpForwardTable(reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data()), &size, FALSE);
  }
  if (rc != NO_ERROR) return routes;
  const auto* table = reinterpret_cast<const MIB_IPFORWARDTABLE*>(buffer.data());
  for (DWORD i = 0; i < table->dwNumEntries && i < 4096; ++i) {
    const MIB_IPFORWARDROW& row = table->table[i];
    // Type 4 (indirect) goes through the next hop; 3 (direct) is on the link.
    const bool indirect = row.dwForwardType == 4;
    routes.push_back({row.dwForwardDest, row.dwForwardMask, indirect ? row.dwForwardNextHop : 0u});
  }
  return routes;
}

std::vector<std::string> MachineDnsServers() {
  std::vector<std::string> servers;
  std::vector<unsigned char> buffer;
  if (!ReadAdapters(AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, buffer)) return servers;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp) continue;
    for (auto* dns = adapter->FirstDnsServerAddress; dns != nullptr; dns = dns->Next) {
      std::string text = AddressText(dns->Address.lpSockaddr);
      if (!text.empty() && std::find(servers.begin(), servers.end(), text) == servers.end())
        servers.push_back(std::move(text));
    }
  }
  return servers;
}

std::vector<std::string> MachineIPv4Addresses() {
  std::vector<std::string> addresses;
  std::vector<unsigned char> buffer;
  if (!ReadAdapters(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                    buffer))
    return addresses;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
      const SOCKADDR* address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET) continue;
      if (std::string text = AddressText(address); !text.empty()) addresses.push_back(std::move(text));
    }
  }
  return addresses;
}

namespace {

// The system's words for an error, without the line end it ends with.
std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result;
  if (n > 0 && text != nullptr) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
      result.resize(static_cast<std::size_t>(bytes));
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), result.data(), bytes, nullptr, nullptr);
    }
  }
  if (text != nullptr) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' ||
                             result.back() == '.'))
    result.pop_back();
  return result.empty() ? "Windows error " + std::to_string(error) : result;
}

}  // namespace

FileFacts ReadFileFacts(const std::string& nativePath) {
  WIN32_FILE_ATTRIBUTE_DATA facts{};
  if (!GetFileAttributesExA(nativePath.c_str(), GetFileExInfoStandard, &facts)) return {};
  if ((facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {true, 0, 0, SystemErrorText(ERROR_ACCESS_DENIED)};
  // The profile functions read a file they cannot open as missing: the file
  // system is asked first.
  FileFacts result{true, 0, 0, {}};
  const HANDLE file = CreateFileA(nativePath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    result.unreadable = SystemErrorText(GetLastError());
  else
    CloseHandle(file);
  const uint64_t size = (static_cast<uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
  const uint64_t ticks = (static_cast<uint64_t>(facts.ftLastWriteTime.dwHighDateTime) << 32) |
                         facts.ftLastWriteTime.dwLowDateTime;
  // FILETIME counts 100 ns from 1601-01-01; 11644473600 s lie before 1970.
  result.size = size;
  result.modifiedUnix = static_cast<int64_t>(ticks / 10'000'000ULL) - 11'644'473'600LL;
  return result;
}

}  // namespace rk
