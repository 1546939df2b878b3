#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/profile_store.h"

namespace rk {

// One INI file's bytes and an index over them, with the reading rules of the
// Windows profile functions:
// * section and key names match ASCII case-insensitively (two-byte code page
//   950 characters compare exactly); the first of duplicate sections and the
//   first of duplicate keys in that section win;
// * blanks and tabs around names and values are trimmed, one pair of matching
//   outer quotes around a value is removed, a line whose first non-blank byte
//   is ';' is a comment, a section name ends at the first ']';
// * CRLF, LF and CR-only line breaks read the same.
class IniDocument {
 public:
  explicit IniDocument(std::string bytes);

  [[nodiscard]] std::optional<std::string> Find(std::string_view section,
                                                std::string_view key) const;

  // The whole file as it must be after setting section/key to value:
  // * an existing key's value is replaced in place;
  // * a new key goes after the section's last key line;
  // * a new section goes at the end (after a line break if the last line lacks one);
  // * every other byte stays as it was.
  [[nodiscard]] std::string WithValue(std::string_view section, std::string_view key,
                                      std::string_view value) const;

  [[nodiscard]] const std::string& bytes() const { return bytes_; }

 private:
  struct Line;
  struct Section;
  std::string bytes_;
  std::vector<Section> sections_;
  void Parse();
};

// GetPrivateProfileIntA's reading of a value text.
[[nodiscard]] int ParseProfileInt(std::string_view text);

// The POSIX profile store: files parsed by IniDocument, cached by path, size
// and modification time, replaced atomically on write.
class IniProfileStore final : public ProfileStore {
 public:
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

 private:
  struct Cache;
  std::unique_ptr<Cache> cache_;
};

}  // namespace rk
