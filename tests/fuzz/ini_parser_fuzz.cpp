// Feeds arbitrary bytes to the INI engine as a file, then writes one key into
// it and checks what must hold for any file:
// * the written value reads back in its stored form;
// * every other name the file holds reads as before;
// * the write changed one place only: bytes inserted, or bytes inside one
//   line replaced, never a line break of the old file;
// * writing the same value again changes nothing.
//
// Input: "section\x1Fkey\x1Fvalue\n" and then the file's bytes. Without a
// first line break the whole input is the file and S / k / v are written.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dbcs.h"
#include "config/ini_engine.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return rk::EqualsIgnoreAsciiCase(TrimBlanks(a), TrimBlanks(b), rk::IsCp950LeadByte);
}

// Candidate section and key names taken from the file's own lines, so that
// the probes hit real entries (a bounded number of each).
void CollectNames(std::string_view file, std::vector<std::string>& sections,
                  std::vector<std::string>& keys) {
  std::size_t pos = 0;
  while (pos < file.size() && (sections.size() < 12 || keys.size() < 24)) {
    std::size_t end = file.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = file.size();
    const std::string_view line = TrimBlanks(file.substr(pos, end - pos));
    if (!line.empty() && line.front() == '[' && sections.size() < 12) {
      const std::size_t close = line.find(']');
      sections.emplace_back(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
    } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos && keys.size() < 24) {
      keys.emplace_back(line.substr(0, eq));
    }
    pos = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string section = "S", key = "k", value = "v";
  std::string_view fileBytes = input;
  if (const std::size_t newline = input.find('\n'); newline != std::string_view::npos) {
    const std::string_view header = input.substr(0, newline);
    fileBytes = input.substr(newline + 1);
    const std::size_t first = header.find('\x1F');
    section = std::string(header.substr(0, first));
    if (first != std::string_view::npos) {
      const std::size_t second = header.find('\x1F', first + 1);
      key = std::string(header.substr(first + 1, second == header.npos ? header.npos : second - first - 1));
      value = second == header.npos ? std::string() : std::string(header.substr(second + 1));
    }
  }

  const rk::IniDocument before{std::string(fileBytes)};
  Check(before.bytes() == fileBytes);
  std::vector<std::string> sections{section, "S"}, keys{key, "k"};
  CollectNames(fileBytes, sections, keys);
  for (const std::string& s : sections)
    for (const std::string& k : keys)
      if (const auto found = before.Find(s, k)) (void)rk::ParseProfileInt(*found);

  const std::string written = before.WithValue(section, key, value);
  if (!rk::IniDocument::IsWritableName(section, key)) {
    Check(written == fileBytes);
    return 0;
  }
  const rk::IniDocument after{written};
  Check(after.Find(section, key) == rk::IniDocument::StoredForm(value));

  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      if (SameName(s, section) && SameName(k, key)) continue;
      Check(after.Find(s, k) == before.Find(s, k));
    }
  }

  // One place changed: what the new bytes do not share with the old ones at
  // the front and the back is, in the old file, nothing (an insertion) or a
  // run without line breaks (a value replaced inside its line).
  const std::string_view oldBytes = fileBytes;
  std::size_t prefix = 0;
  while (prefix < oldBytes.size() && prefix < written.size() && oldBytes[prefix] == written[prefix])
    ++prefix;
  std::size_t suffix = 0;
  while (suffix < oldBytes.size() - prefix && suffix < written.size() - prefix &&
         oldBytes[oldBytes.size() - 1 - suffix] == written[written.size() - 1 - suffix])
    ++suffix;
  const std::string_view removed = oldBytes.substr(prefix, oldBytes.size() - prefix - suffix);
  Check(removed.find_first_of("\r\n") == std::string_view::npos);
  if (!before.Find(section, key)) Check(removed.empty());

  Check(after.WithValue(section, key, value) == written);
  return 0;
}
