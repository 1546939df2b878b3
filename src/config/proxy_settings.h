#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "config/client_paths.h"
#include "config/verified_write.h"

namespace rk {

// The proxy types: value of "ProxyType" and index of the dialog's combo box
// entry (NONE, HTTP11_PROXY, SOCK4_PROXY, SOCK4a_PROXY, SOCK5_PROXY, from the
// template's init data). Unscoped: the stored value is a plain number, and
// any number may be stored.
enum StoredProxyType : int32_t {
  kProxyNone = 0,
  kProxyHttp11 = 1,
  kProxySocks4 = 2,
  kProxySocks4a = 3,
  kProxySocks5 = 4,
};

// Whether a stored "ProxyType" names a proxy (1..4); 0 and any other value
// mean a direct connection.
[[nodiscard]] constexpr bool IsProxyStored(int32_t type) {
  return type >= kProxyHttp11 && type <= kProxySocks5;
}

// The protocol name of a type ("HTTP", "SOCKS4", "SOCKS4a", "SOCKS5"), or
// nullptr when it names no proxy.
[[nodiscard]] const char* ProxyTypeName(int32_t type);

// Section "DC" holds the nine keys, always read and written as one set in
// this order, in the base configuration and in the tool's settings file.
inline constexpr char kProxySection[] = "DC";
inline constexpr std::array<const char*, 9> kProxyKeys = {
    "ProxyType",      "ProxyServerName", "ProxyPort",
    "UserName",       "UserPassword",    "SOCKSProxyServerName",
    "SOCKSProxyPort", "SOCKSUserName",   "SOCKSUserPassword"};

struct ProxySettings {
  int32_t m_nProxyType = kProxyNone;
  std::string m_strProxyServerName;
  std::string m_strProxyPort;
  std::string m_strUserName;
  std::string m_strUserPassword;
  std::string m_strSocksProxyServerName;
  std::string m_strSocksProxyPort;
  std::string m_strSocksUserName;
  std::string m_strSocksUserPassword;

  // The stored text of key i of kProxyKeys ("%d" of the type for key 0).
  [[nodiscard]] std::string ValueText(std::size_t keyIndex) const;
  bool operator==(const ProxySettings&) const = default;
};

// The keys a type reads and writes: the HTTP host, port and login for type 1;
// the SOCKS host and port for 2..4, with the SOCKS login for type 4 only
// (SOCKS4 and SOCKS4a carry none: user and password are null).
struct ProxyKeyFamily {
  std::string ProxySettings::*host = nullptr;
  std::string ProxySettings::*port = nullptr;
  std::string ProxySettings::*user = nullptr;
  std::string ProxySettings::*password = nullptr;
  [[nodiscard]] bool offersLogin() const { return user != nullptr; }
};
// Nothing for a type that names no proxy.
[[nodiscard]] std::optional<ProxyKeyFamily> KeyFamilyOf(int32_t type);

// Reads the nine keys of section "DC" (type 0 and empty texts when missing;
// texts cut to 259 bytes).
[[nodiscard]] ProxySettings LoadProxySettings(ProfileStore& profile, const std::string& path);

// Writes the nine keys into section "DC" in key order, each read back.
// * Nothing when all nine stuck; else the first failure (file and reason),
//   after every key was still attempted.
[[nodiscard]] std::optional<SaveError> SaveProxySettings(const ProxySettings& settings, ProfileStore& profile,
                       const std::string& path);

// For each of the nine keys, whether section "DC" of the file holds it (even
// with an empty value).
[[nodiscard]] std::array<bool, 9> StoredProxyKeys(ProfileStore& profile, const std::string& path);

// Whether section "DC" of the file holds at least one of the nine keys.
[[nodiscard]] bool HoldsProxyKeys(ProfileStore& profile, const std::string& path);

// Whether a file (or folder) exists at `path`.
[[nodiscard]] bool FileExists(const std::string& path);

// Which file holds the proxy setting the client uses (the master copy):
// * the tool's settings file when it exists AND holds at least one proxy key;
// * otherwise the base configuration. The tool's file is also written by the
//   connection preferences, so it can exist with no proxy key at all; taking
//   it as master then would wipe the client's proxy setting with type 0 and
//   empty texts.
struct ProxyMasterCopy {
  std::string masterPath;
  std::string copyPath;  // the other file, which opening the dialog overwrites
  bool toolFileIsMaster = false;
};
[[nodiscard]] ProxyMasterCopy FindProxyMasterCopy(ProfileStore& profile,
                                                  const ClientPaths& paths);

}  // namespace rk
