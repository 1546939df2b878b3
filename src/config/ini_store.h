#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "config/profile_store.h"

namespace rk {

// The POSIX profile store: files parsed by IniDocument, cached by path, size,
// modification time and file identity, replaced atomically on write. Also
// built on Windows, where it is measured against kernel32.
// * Reads never block and never fail: anything that is not a readable regular
//   file of at most kMaxFileBytes (or that memory cannot hold) reads as missing.
class IniProfileStore final : public ProfileStore {
 public:
  // The system's reader takes a file of any size; the bound here is only
  // that of the index's 32-bit offsets (a Unicode file's text grows by at
  // most half when decoded).
  static constexpr std::size_t kMaxFileBytes = 0xA0000000u;

  IniProfileStore();
  ~IniProfileStore() override;
  IniProfileStore(const IniProfileStore&) = delete;
  IniProfileStore& operator=(const IniProfileStore&) = delete;

  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t bufferSize, const std::string& path) override;
  int GetInt(std::string_view section, std::string_view key, int fallback,
             const std::string& path) override;
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) override;
  [[nodiscard]] std::string LastWriteFailure() const override;
  void HoldFileStates(bool hold) override;

  // How many times a file's bytes were read and parsed (cache misses).
  [[nodiscard]] std::size_t loads() const;
  // How many times a file was looked at (stat) for a read.
  [[nodiscard]] std::size_t lookups() const;

 private:
  struct Cache;
  std::unique_ptr<Cache> cache_;
};

}  // namespace rk
