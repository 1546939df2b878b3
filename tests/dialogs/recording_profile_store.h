#pragma once
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "config/profile_store.h"

namespace rk::testing {

// The platform's real profile access, with every write logged in order.
class RecordingProfileStore final : public ProfileStore {
 public:
  struct Write {
    std::string section;
    std::string key;
    std::string value;
    std::string path;
    bool operator==(const Write&) const = default;
    friend void PrintTo(const Write& w, std::ostream* os) {
      *os << "[" << w.section << "] " << w.key << "=" << w.value << " -> " << w.path;
    }
  };

  explicit RecordingProfileStore(ProfileStore& inner) : inner_(inner) {}

  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t bufferSize, const std::string& path) override {
    return inner_.GetString(section, key, fallback, bufferSize, path);
  }
  int GetInt(std::string_view section, std::string_view key, int fallback,
             const std::string& path) override {
    return inner_.GetInt(section, key, fallback, path);
  }
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) override {
    writes.push_back(Write{std::string(section), std::string(key), std::string(value), path});
    return inner_.WriteString(section, key, value, path);
  }

  std::vector<Write> writes;

 private:
  ProfileStore& inner_;  // not owned
};

}  // namespace rk::testing
