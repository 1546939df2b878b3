// One key written into arbitrary INI bytes: it reads back in its stored form, every other name
// reads as before, one place changed (an insertion, or bytes within one line), and writing it
// again changes nothing. Input: "section\x1Fkey\x1Fvalue\n" then the file (no line break: all
// of it is the file, and S / k / v are written).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dbcs.h"
#include "config/ini_document.h"

namespace {

void Check(bool ok) { if (!ok) std::abort(); }

// The bytes the system trims around names: blank, tab, vertical tab, form feed and 0x1A.
constexpr std::string_view kBlanks{" \t\v\f\x1A"};

std::string Trim(std::string_view text) {  // all blanks: npos + 1 wraps to an empty count
  const std::size_t first = std::min(text.find_first_not_of(kBlanks), text.size());
  return std::string(text.substr(first, text.find_last_not_of(kBlanks) + 1 - first));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string section = "S", key = "k", value = "v";
  std::string_view file = input;
  if (const std::size_t newline = input.find('\n'); newline != std::string_view::npos) {
    const std::string_view header = input.substr(0, newline);
    const std::size_t first = header.find('\x1F'), second = header.find('\x1F', first + 1);
    section = header.substr(0, first);
    if (first != std::string_view::npos) {
      key = header.substr(first + 1, second - first - 1);  // to the end when there is no second
      value = second == header.npos ? std::string() : std::string(header.substr(second + 1));
    }
    file = input.substr(newline + 1);
  }
  // Probe names from the file's own lines, so that real entries are hit (bounded).
  std::vector<std::string> sections{section, "S"}, keys{key, "k"};
  for (std::size_t pos = 0; pos < file.size() && sections.size() + keys.size() < 40;) {
    const std::size_t end = std::min(file.find_first_of("\r\n", pos), file.size());
    const std::string line = Trim(file.substr(pos, end - pos));
    if (!line.empty() && line[0] == '[') sections.push_back(line.substr(1, line.find(']') - 1));
    else if (line.find('=') != std::string::npos) keys.push_back(line.substr(0, line.find('=')));
    pos = end + 1;
  }
  const rk::IniDocument before{std::string(file)};
  Check(before.bytes() == file);
  const std::optional<std::string> edited = before.WithValue(section, key, value);
  const bool ansi = before.encoding() == rk::IniDocument::Encoding::Ansi;
  if (!rk::IniDocument::IsWritableName(section, key)) Check(!edited);
  else if (ansi) Check(edited.has_value());
  const std::string written = edited.value_or(std::string(file));
  const rk::IniDocument after{written};
  Check(after.encoding() == before.encoding());
  if (edited) Check(after.Find(section, key) == rk::IniDocument::StoredForm(value));
  const auto same = [](const std::string& a, const std::string& b) {
    return rk::EqualsIgnoreAsciiCase(Trim(a), Trim(b), rk::IsCp950LeadByte);
  };
  for (const std::string& s : sections)
    for (const std::string& k : keys) {
      if (const auto found = before.Find(s, k)) (void)rk::ParseProfileInt(*found);
      if (!same(s, section) || !same(k, key)) Check(after.Find(s, k) == before.Find(s, k));
    }
  Check(after.WithValue(section, key, value) == edited);
  if (!ansi) return 0;  // a Unicode file is re-encoded whole
  // What the new bytes do not share with the old at the front and back was,
  // in the old file, nothing or a run without line breaks.
  std::size_t prefix = 0, suffix = 0;
  while (prefix < std::min(file.size(), written.size()) && file[prefix] == written[prefix])
    ++prefix;
  while (suffix < file.size() - prefix && suffix < written.size() - prefix &&
         file[file.size() - 1 - suffix] == written[written.size() - 1 - suffix])
    ++suffix;
  const std::string_view removed = file.substr(prefix, file.size() - prefix - suffix);
  Check(removed.find_first_of("\r\n") == std::string_view::npos);
  if (!before.Find(section, key)) Check(removed.empty());
  return 0;
}
