#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace rk {

// Every call site reads text through a buffer of this many bytes, so a value
// keeps at most its first 259 bytes.
inline constexpr std::size_t kProfileBufferSize = 260;

// Access to the client's INI files with the semantics of the Windows profile
// functions (GetPrivateProfileStringA / GetPrivateProfileIntA /
// WritePrivateProfileStringA). Texts are code page bytes, passed through.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // The key's value, or `fallback` when the file, section or key is missing.
  // * The result is cut to bufferSize - 1 bytes (nothing when bufferSize is 0).
  [[nodiscard]] virtual std::string GetString(std::string_view section, std::string_view key,
                                              std::string_view fallback, std::size_t bufferSize,
                                              const std::string& path) = 0;

  // The key's value as a number: leading blanks, an optional sign, then decimal
  // digits up to the first other byte; no digits gives 0; missing gives `fallback`.
  [[nodiscard]] virtual int GetInt(std::string_view section, std::string_view key, int fallback,
                                   const std::string& path) = 0;

  // Sets the key, creating the file, the section and the key as needed.
  // * Returns false when the file could not be written; the old file is then
  //   left whole. Callers in the product do not look at the result.
  virtual bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                           const std::string& path) = 0;

  // Why this thread's last failed WriteString failed, in words (may be empty).
  [[nodiscard]] virtual std::string LastWriteFailure() const { return {}; }

  // While held (calls nest), a file once looked at is taken as unchanged, so
  // reading many keys looks at each file once. Writes through this store
  // are still seen. Only for a burst of reads that is over at once.
  virtual void HoldFileStates(bool hold) { (void)hold; }
};

// Holds the file states of a store for its lifetime.
class HeldFileStates {
 public:
  explicit HeldFileStates(ProfileStore& profile) : profile_(profile) { profile_.HoldFileStates(true); }
  ~HeldFileStates() { profile_.HoldFileStates(false); }
  HeldFileStates(const HeldFileStates&) = delete;
  HeldFileStates& operator=(const HeldFileStates&) = delete;

 private:
  ProfileStore& profile_;  // not owned
};

// The platform's profile access: kernel32 on Windows, the INI store (ini_store.h) elsewhere.
[[nodiscard]] ProfileStore& SystemProfileStore();

}  // namespace rk
