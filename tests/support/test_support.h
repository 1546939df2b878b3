#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "config/host_catalogue.h"
#include "probes/net_address.h"
#include "probes/stop_flag.h"

namespace rk::testing {

// A fresh temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::string File(const std::string& relative) const;  // platform's form
  std::string Write(const std::string& relative, const std::string& bytes) const;  // makes folders

 private:
  std::filesystem::path path_;
};

[[nodiscard]] std::string ReadBytes(const std::string& path);
[[nodiscard]] std::size_t Occurrences(const std::string& text, const std::string& what);

// Name look-ups answered from a table; every name asked is recorded. The
// check and the proxy connector ask from several threads at once.
struct FakeResolver final : NameResolver {
  std::optional<uint32_t> FirstIPv4(const std::string& name) override;
  void Answer(const std::string& name, uint32_t address) { answers.emplace_back(name, address); }
  std::vector<std::string> asked;
  std::vector<std::pair<std::string, uint32_t>> answers;
  std::mutex mutex;
};

[[nodiscard]] uint32_t Ip(int a, int b, int c, int d);  // network byte order

using Clock = std::chrono::steady_clock;
[[nodiscard]] long long MsSince(Clock::time_point start);

// Sets `stop` after `ms` from a thread of its own; joined by the destructor.
class StopAfter {
 public:
  StopAfter(StopFlag& stop, int ms);
  ~StopAfter();
  StopAfter(const StopAfter&) = delete;
  StopAfter& operator=(const StopAfter&) = delete;

 private:
  std::thread thread_;
};

// The platform's profile access, with every write logged in order.
struct RecordingStore final : ProfileStore {
  struct Write {
    std::string section, key, value, path;
    bool operator==(const Write&) const = default;
    friend void PrintTo(const Write& w, std::ostream* os) {
      *os << "[" << w.section << "] " << w.key << "=" << w.value << " in " << w.path;
    }
  };
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t size, const std::string& path) override;
  int GetInt(std::string_view section, std::string_view key, int fallback,
             const std::string& path) override;
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) override;
  std::vector<Write> writes;
};

}  // namespace rk::testing
