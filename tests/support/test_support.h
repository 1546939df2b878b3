#pragma once
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/host_catalogue.h"
#include "diagnostics/net_address.h"

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

}  // namespace rk::testing
