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

uint32_t Ip(int a, int b, int c, int d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  uint32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

}  // namespace rk::testing
