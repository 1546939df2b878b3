#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace rk::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("reachkit-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& relative) const {
  return (path_ / std::filesystem::path(relative).make_preferred()).string();
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
  const std::string full = File(relative);
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream(full, std::ios::binary | std::ios::trunc) << bytes;
  return full;
}

std::string ReadBytes(const std::string& path) {
  std::ostringstream all;
  all << std::ifstream(path, std::ios::binary).rdbuf();
  return all.str();
}

std::size_t Occurrences(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

std::optional<uint32_t> FakeResolver::FirstIPv4(const std::string& name) {
  const std::lock_guard lock(mutex);
  asked.push_back(name);
  for (const auto& [known, address] : answers)
    if (known == name) return address;
  return std::nullopt;
}

uint32_t Ip(int a, int b, int c, int d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  uint32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

StopAfter::StopAfter(StopFlag& stop, int ms)
    : thread_([&stop, ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        stop = true;
      }) {}

StopAfter::~StopAfter() { thread_.join(); }

std::string RecordingStore::GetString(std::string_view section, std::string_view key,
                                      std::string_view fallback, std::size_t size,
                                      const std::string& path) {
  return SystemProfileStore().GetString(section, key, fallback, size, path);
}

int RecordingStore::GetInt(std::string_view section, std::string_view key, int fallback,
                           const std::string& path) {
  return SystemProfileStore().GetInt(section, key, fallback, path);
}

bool RecordingStore::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value, const std::string& path) {
  writes.push_back({std::string(section), std::string(key), std::string(value), path});
  return SystemProfileStore().WriteString(section, key, value, path);
}

}  // namespace rk::testing
