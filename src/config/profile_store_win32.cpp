#include <windows.h>

#include <string>

#include <vector>

#include "config/profile_store.h"

namespace rk {

namespace {

// kernel32's profile functions as they are: the reference the POSIX engine
// is measured against.
class Kernel32ProfileStore final : public ProfileStore {
 public:
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t bufferSize, const std::string& path) override {
    if (bufferSize == 0) return {};
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD n = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                             std::string(fallback).c_str(), buffer.data(),
                                             static_cast<DWORD>(bufferSize), path.c_str());
    return std::string(buffer.data(), n);
  }

  int GetInt(std::string_view section, std::string_view key, int fallback,
             const std::string& path) override {
    return static_cast<int>(GetPrivateProfileIntA(std::string(section).c_str(),
                                                  std::string(key).c_str(), fallback, path.c_str()));
  }

  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) override {
    if (WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                   std::string(value).c_str(), path.c_str()) != FALSE)
      return true;
    lastError_ = GetLastError();
    return false;
  }

  std::string LastWriteFailure() const override {
    if (lastError_ == ERROR_ACCESS_DENIED) return "access denied";
    if (lastError_ == ERROR_DISK_FULL || lastError_ == ERROR_HANDLE_DISK_FULL) return "disk full";
    return lastError_ != 0 ? "error " + std::to_string(lastError_) : std::string();
  }

 private:
  static thread_local DWORD lastError_;
};

thread_local DWORD Kernel32ProfileStore::lastError_ = 0;

}  // namespace

ProfileStore& SystemProfileStore() {
  static Kernel32ProfileStore store;
  return store;
}

}  // namespace rk
