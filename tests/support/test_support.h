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
#include "probes/icmp_echo.h"
#include "probes/net_address.h"
#include "probes/stop_flag.h"

namespace rk::testing {

// The builds whose every socket call is slowed: the sanitizers' (several times over) and Windows
// under Wine (each call passes through the Wine server). Their tests keep the code paths and
// shrink what only adds time: catalogue sizes, and the product's real time-outs, which the
// native build waits out (and the namespace tests under Wine, on a real dark host).
#if defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
inline constexpr bool kSlowedBuild = true;
#else
inline constexpr bool kSlowedBuild = false;
#endif
#elif defined(_WIN32)
inline constexpr bool kSlowedBuild = true;
#else
inline constexpr bool kSlowedBuild = false;
#endif

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

// Name look-ups answered from a table; every name asked is recorded (from several threads at once).
struct FakeResolver final : NameResolver {
  std::optional<uint32_t> FirstIPv4(const std::string& name) override {
    const std::lock_guard lock(mutex);
    asked.push_back(name);
    for (const auto& [known, address] : answers)
      if (known == name) return address;
    return std::nullopt;
  }
  void Answer(const std::string& name, uint32_t address) { answers.emplace_back(name, address); }
  std::vector<std::string> asked;
  std::vector<std::pair<std::string, uint32_t>> answers;
  std::mutex mutex;
};

[[nodiscard]] uint32_t Ip(int a, int b, int c, int d);  // network byte order

// Every echo gets `answer` at once (by default none); the destinations asked are recorded.
struct CannedEcho final : EchoService {
  bool Initialize() override { return true; }
  int SendEcho(uint32_t destination, EchoResult& result, int, uint32_t, int, int, const StopFlag*) override {
    const std::lock_guard lock(mutex);
    sent.push_back(destination);
    result = answer;
    return 1;
  }
  EchoResult answer{kIpReqTimedOut, 0, 0};
  std::mutex mutex;
  std::vector<uint32_t> sent;
};

using Clock = std::chrono::steady_clock;
[[nodiscard]] inline long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Sets `stop` after `ms` from a thread of its own; joined by the destructor.
class StopAfter {
 public:
  StopAfter(StopFlag& stop, int ms)
      : thread_([&stop, ms] { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); stop = true; }) {}
  ~StopAfter() { thread_.join(); }
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
                        std::size_t size, const std::string& path) override {
    return SystemProfileStore().GetString(section, key, fallback, size, path);
  }
  int GetInt(std::string_view section, std::string_view key, int fallback, const std::string& path) override {
    return SystemProfileStore().GetInt(section, key, fallback, path);
  }
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) override {
    writes.push_back({std::string(section), std::string(key), std::string(value), path});
    return SystemProfileStore().WriteString(section, key, value, path);
  }
  std::vector<Write> writes;
};

}  // namespace rk::testing
