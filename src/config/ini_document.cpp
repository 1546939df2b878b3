#include "config/ini_document.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "base/codepage.h"
#include "base/dbcs.h"
#include "base/utf16.h"

namespace rk {

namespace {

// The bytes kernel32 trims around names and values. 0x1A is the end-of-file
// mark of old editors, which it takes for white space wherever it stands.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A'; }

std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool IsCp950TrailByte(unsigned char byte) {
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xFE);
}

// Index of the first ']' in text that is a character of its own. A lead byte
// takes the next byte only when that is a valid trail byte (as the code page
// conversion of the system's reader does), so a stray lead byte never hides
// the ']' of the header.
std::size_t FindSectionEnd(std::string_view text, LeadBytePredicate isLead) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (isLead(byte) && i + 1 < text.size() &&
        IsCp950TrailByte(static_cast<unsigned char>(text[i + 1]))) {
      ++i;
      continue;
    }
    if (text[i] == ']') return i;
  }
  return std::string_view::npos;
}

// A hash of the name with ASCII letters folded and two-byte characters taken
// as they are (a lead byte pairing with whatever follows, as
// EqualsIgnoreAsciiCase pairs them), so that names equal under
// EqualsIgnoreAsciiCase(a, b, isLead) hash alike. FNV-1a.
std::uint64_t NameHash(std::string_view name, LeadBytePredicate isLead) {
  // Every name of every lookup passes here: code page 950's rule is tested
  // inline rather than through the pointer.
  const bool cp950 = isLead == IsCp950LeadByte;
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto byte = static_cast<unsigned char>(name[i]);
    if ((cp950 ? byte >= 0x81 && byte <= 0xFE : isLead(byte)) && i + 1 < name.size()) {
      hash = (hash ^ byte) * 1099511628211ull;
      byte = static_cast<unsigned char>(name[++i]);
    } else if (byte >= 'A' && byte <= 'Z') {
      byte = static_cast<unsigned char>(byte - 'A' + 'a');
    }
    hash = (hash ^ byte) * 1099511628211ull;
  }
  return hash;
}

bool IsQuoted(std::string_view value) {
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
         value.back() == value.front();
}

std::string_view WithoutOuterQuotes(std::string_view value) {
  return IsQuoted(value) ? value.substr(1, value.size() - 2) : value;
}

// A value can never carry a line break into the file: the system's writer
// would store it raw and so add lines (even a forged "[Section]") that every
// later reader takes for real. What a reader would get back of such a value
// is its first line, so that is what is kept. A NUL ends the text for every
// C caller, so it ends the value here too.
std::string_view FirstLine(std::string_view value) {
  const std::size_t cut = value.find_first_of(std::string_view("\r\n\0", 3));
  return cut == std::string_view::npos ? value : value.substr(0, cut);
}

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

constexpr std::uint8_t kBreakCrLf = 1, kBreakLf = 2, kBreakCr = 3;
std::uint8_t BreakCode(std::string_view lineBreak) {
  if (lineBreak == "\r\n") return kBreakCrLf;
  return lineBreak == "\n" ? kBreakLf : kBreakCr;
}
std::string_view BreakText(std::uint8_t code) {
  switch (code) {
    case kBreakLf: return "\n";
    case kBreakCr: return "\r";
    default: return "\r\n";
  }
}

constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr char kUtf16BeMark[] = "\xFE\xFF";

}  // namespace

IniDocument::IniDocument(std::string fileBytes) : bytes_(std::move(fileBytes)) {
  const std::string_view all(bytes_);
  if (all.starts_with(kUtf16LeMark) || all.starts_with(kUtf16BeMark)) {
    encoding_ = all.starts_with(kUtf16LeMark) ? Encoding::Utf16Le : Encoding::Utf16Be;
    Utf16Decoded decoded = Utf16ToUtf8(all.substr(2), encoding_ == Encoding::Utf16Be);
    utf8_ = std::move(decoded.utf8);
    decodedExactly_ = decoded.exact;
  }
  Parse();
}

void IniDocument::Parse() {
  lineBreak_ = "\r\n";
  const std::string& source = text();
  if (source.size() >= UINT32_MAX) return;
  const LeadBytePredicate lead = isLead();
  const std::string_view all(source);
  const auto offset = [&](std::string_view part) {
    return static_cast<std::uint32_t>(part.data() - all.data());
  };
  // Every key line holds a '=' and a line of its own: the smaller count
  // bounds the index, which then grows without copies.
  const auto equalsSigns = static_cast<std::size_t>(std::count(all.begin(), all.end(), '='));
  const auto lineBreaks = static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n') +
                                                   std::count(all.begin(), all.end(), '\r'));
  keys_.reserve(std::min(equalsSigns, lineBreaks + 1));
  bool breakSeen = false;
  bool inSection = false;
  std::size_t pos = 0;
  while (pos < all.size()) {
    std::size_t contentEnd = pos;
    while (contentEnd < all.size() && all[contentEnd] != '\r' && all[contentEnd] != '\n')
      ++contentEnd;
    std::size_t end = contentEnd;
    std::uint8_t lineBreak = 0;
    if (contentEnd < all.size()) {
      end = (all[contentEnd] == '\r' && contentEnd + 1 < all.size() && all[contentEnd + 1] == '\n')
                ? contentEnd + 2
                : contentEnd + 1;
      const std::string_view text = all.substr(contentEnd, end - contentEnd);
      if (!breakSeen) lineBreak_ = std::string(text);
      lineBreak = BreakCode(text);
      breakSeen = true;
    }
    lastLineUnended_ = end == contentEnd;
    std::size_t first = pos;
    while (first < contentEnd && IsBlank(all[first])) ++first;
    const std::string_view content = all.substr(first, contentEnd - first);
    pos = end;
    const bool header = !content.empty() && content.front() == '[';
    if (inSection && !header && lineBreak != 0) sections_.back().lineBreak = lineBreak;

    if (content.empty() || content.front() == ';') continue;  // blank or comment
    if (header) {
      const std::string_view inner = content.substr(1);
      const std::size_t close = FindSectionEnd(inner, lead);
      const std::string_view name =
          Trim(close == std::string_view::npos ? inner : inner.substr(0, close));
      SectionEntry section;
      section.hash = NameHash(name, lead);
      section.nameBegin = offset(name);
      section.nameEnd = section.nameBegin + static_cast<std::uint32_t>(name.size());
      section.insertAt = static_cast<std::uint32_t>(end);
      section.insertAfterUnended = lastLineUnended_;
      section.lineBreak = lineBreak;
      sections_.push_back(section);
      inSection = true;
      continue;
    }
    if (!inSection) continue;  // before the first section: no section's
    // A key line, or a stray line of text: either way new keys go after it.
    SectionEntry& section = sections_.back();
    section.insertAt = static_cast<std::uint32_t>(end);
    section.insertAfterUnended = lastLineUnended_;
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view name = Trim(content.substr(0, eq));
    if (name.empty()) continue;
    KeyEntry key;
    key.hash = static_cast<std::uint32_t>(NameHash(name, lead));
    key.section = static_cast<std::uint32_t>(sections_.size() - 1);
    key.nameBegin = offset(content);
    key.equals = key.nameBegin + static_cast<std::uint32_t>(eq);
    key.contentEnd = static_cast<std::uint32_t>(contentEnd);
    keys_.push_back(key);
  }

  // File order breaks ties, so the first match in a run of equal hashes is
  // the first of duplicate names. (std::sort, not stable_sort: no buffer as
  // large as the index.)
  sectionOrder_.resize(sections_.size());
  for (std::uint32_t i = 0; i < sectionOrder_.size(); ++i) sectionOrder_[i] = i;
  std::sort(sectionOrder_.begin(), sectionOrder_.end(), [&](std::uint32_t a, std::uint32_t b) {
    return sections_[a].hash != sections_[b].hash ? sections_[a].hash < sections_[b].hash : a < b;
  });
  std::size_t slots = 8;
  while (slots < keys_.size() + keys_.size() / 2) slots *= 2;
  keyTable_.assign(slots, 0);
  // Only the first of duplicate names is entered (the one a look-up finds): a file of many
  // equal names would otherwise make one probe run of them all, quadratic to build.
  const auto nameOf = [&](const KeyEntry& key) {
    return Trim(std::string_view(text()).substr(key.nameBegin, key.equals - key.nameBegin));
  };
  for (std::uint32_t i = 0; i < keys_.size(); ++i) {
    const KeyEntry& key = keys_[i];
    std::size_t slot = KeySlot(key.section, key.hash);
    bool duplicate = false;
    for (; keyTable_[slot] != 0 && !duplicate; slot = (slot + 1) & (slots - 1)) {
      const KeyEntry& entered = keys_[keyTable_[slot] - 1];
      duplicate = entered.section == key.section && entered.hash == key.hash &&
                  EqualsIgnoreAsciiCase(nameOf(entered), nameOf(key), lead);
    }
    if (!duplicate) keyTable_[slot] = i + 1;
  }
}

std::size_t IniDocument::KeySlot(std::uint32_t section, std::uint32_t hash) const {
  const std::uint64_t mixed =
      ((std::uint64_t{section} << 32) | hash) * 0x9E3779B97F4A7C15ull;
  return static_cast<std::size_t>(mixed >> 32) & (keyTable_.size() - 1);
}

std::optional<std::uint32_t> IniDocument::FindSection(std::string_view trimmedName) const {
  const std::uint64_t hash = NameHash(trimmedName, isLead());
  auto it = std::lower_bound(sectionOrder_.begin(), sectionOrder_.end(), hash,
                             [&](std::uint32_t i, std::uint64_t h) { return sections_[i].hash < h; });
  for (; it != sectionOrder_.end() && sections_[*it].hash == hash; ++it) {
    const SectionEntry& section = sections_[*it];
    const std::string_view name =
        std::string_view(text()).substr(section.nameBegin, section.nameEnd - section.nameBegin);
    if (EqualsIgnoreAsciiCase(name, trimmedName, isLead())) return *it;
  }
  return std::nullopt;
}

const IniDocument::KeyEntry* IniDocument::FindKey(std::uint32_t section,
                                                  std::string_view trimmedKey) const {
  if (keyTable_.empty()) return nullptr;  // a text too large to index
  const auto hash = static_cast<std::uint32_t>(NameHash(trimmedKey, isLead()));
  const std::size_t mask = keyTable_.size() - 1;
  for (std::size_t slot = KeySlot(section, hash); keyTable_[slot] != 0; slot = (slot + 1) & mask) {
    const KeyEntry& key = keys_[keyTable_[slot] - 1];
    if (key.section != section || key.hash != hash) continue;
    const std::string_view name =
        Trim(std::string_view(text()).substr(key.nameBegin, key.equals - key.nameBegin));
    if (EqualsIgnoreAsciiCase(name, trimmedKey, isLead())) return &key;
  }
  return nullptr;
}

// The trimmed value text with its quotes, in the document's own text.
std::optional<std::string_view> IniDocument::FindRaw(std::string_view section,
                                                     std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty()) return std::nullopt;
  const std::optional<std::uint32_t> found = FindSection(section);
  if (!found) return std::nullopt;
  const KeyEntry* line = FindKey(*found, key);
  if (line == nullptr) return std::nullopt;
  return Trim(std::string_view(text()).substr(line->equals + 1, line->contentEnd - line->equals - 1));
}

std::optional<std::string> IniDocument::FindThroughBuffer(std::string_view section,
                                                          std::string_view key,
                                                          std::size_t bufferSize) const {
  std::optional<std::string_view> raw;
  std::string converted;
  if (encoding_ == Encoding::Ansi) {
    raw = FindRaw(section, key);
  } else {
    // Names asked for in code page 950 that have no Unicode form match nothing.
    const std::optional<std::string> s = Cp950ToUtf8Exact(section), k = Cp950ToUtf8Exact(key);
    if (s && k) raw = FindRaw(*s, *k);
    // A character without a Big5 form reaches the caller as '?', as the
    // system's A functions hand it.
    if (raw) raw = converted = Utf8ToCp950(*raw);
  }
  if (!raw) return std::nullopt;
  return ReadThroughBuffer(*raw, bufferSize);
}

std::optional<std::string> IniDocument::Find(std::string_view section,
                                             std::string_view key) const {
  return FindThroughBuffer(section, key, SIZE_MAX);
}

std::string IniDocument::ReadThroughBuffer(std::string_view raw, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  const bool quoted = IsQuoted(raw);
  std::string_view value = WithoutOuterQuotes(raw);
  std::size_t room = bufferSize - 1;
  if (quoted && value.size() == room && room > 0) --room;
  if (value.size() > room) {
    // Never hand out half a character: step over the two-byte characters up
    // to the cut.
    std::size_t i = 0;
    while (i < room) {
      const std::size_t width =
          IsCp950LeadByte(static_cast<unsigned char>(value[i])) && i + 1 < value.size() ? 2 : 1;
      if (i + width > room) break;
      i += width;
    }
    value = value.substr(0, i);
  }
  return std::string(value);
}

bool IniDocument::IsWritableName(std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty()) return false;
  if (HoldsLineBreakOrNul(section) || HoldsLineBreakOrNul(key)) return false;
  if (key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[')
    return false;
  // The header as written must end exactly after the name: no ']' of its
  // own inside, and no lead byte at the end that would take the ']' as its
  // trail byte.
  const std::string header = std::string(section) + "]";
  return FindSectionEnd(header, IsCp950LeadByte) == section.size();
}

std::string IniDocument::StoredForm(std::string_view value) {
  return std::string(WithoutOuterQuotes(Trim(FirstLine(value))));
}

std::string IniDocument::StoredForm(std::string_view value, std::size_t bufferSize) {
  return ReadThroughBuffer(Trim(FirstLine(value)), bufferSize);
}

std::optional<std::string> IniDocument::WithValue(std::string_view section, std::string_view key,
                                                  std::string_view value) const {
  if (!IsWritableName(section, key)) return std::nullopt;
  section = Trim(section);
  key = Trim(key);
  value = FirstLine(value);
  if (encoding_ == Encoding::Ansi) return EditedText(section, key, value);
  // A Unicode file is edited in its own characters and written back whole in
  // its encoding; a text that would not come back exactly is left alone.
  if (!decodedExactly_) return std::nullopt;
  const std::optional<std::string> s = Cp950ToUtf8Exact(section), k = Cp950ToUtf8Exact(key),
                                   v = Cp950ToUtf8Exact(value);
  if (!s || !k || !v) return std::nullopt;
  const bool bigEndian = encoding_ == Encoding::Utf16Be;
  return std::string(bigEndian ? kUtf16BeMark : kUtf16LeMark) +
         Utf8ToUtf16(EditedText(*s, *k, *v), bigEndian);
}

// New lines take the line-break style of the section they go into (the last
// break seen in it), a new section that of the file (its first line break;
// CRLF for a file that has none yet, as the system's writer creates it). The
// client's programs read every style alike, but a file edited by hand on
// another system stays in its style instead of becoming a mix that shows up
// as noise in every diff and editor.
std::string IniDocument::EditedText(std::string_view section, std::string_view key,
                                    std::string_view value) const {
  const std::string& source = text();
  const std::optional<std::uint32_t> found = FindSection(section);
  if (found) {
    if (const KeyEntry* line = FindKey(*found, key)) {
      std::string out;
      out.reserve(source.size() + value.size());
      out.append(source, 0, line->equals + 1);
      out.append(value);
      out.append(source, line->contentEnd);
      return out;
    }
    const SectionEntry& into = sections_[*found];
    const std::string_view lineBreak =
        into.lineBreak != 0 ? BreakText(into.lineBreak) : std::string_view(lineBreak_);
    const std::size_t at = into.insertAt;
    std::string added;
    if (into.insertAfterUnended) added += lineBreak;  // last line of the file, unended
    added.append(key);
    added += '=';
    added.append(value);
    // A CR-only break right before an LF of the file would merge with it
    // into one CRLF and swallow that (empty) line.
    if (lineBreak == "\r" && at < source.size() && source[at] == '\n')
      added += "\r\n";
    else
      added += lineBreak;
    std::string out;
    out.reserve(source.size() + added.size());
    out.append(source, 0, at);
    out += added;
    out.append(source, at);
    return out;
  }

  std::string out = source;
  if (lastLineUnended_) out += lineBreak_;
  out += '[';
  out.append(section);
  out += ']';
  out += lineBreak_;
  out.append(key);
  out += '=';
  out.append(value);
  out += lineBreak_;
  return out;
}

int ParseProfileInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 0x20) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    switch (text[i + 1]) {
      case 'x': base = 16; break;
      case 'o': base = 8; break;
      case 'b': base = 2; break;
      default: break;
    }
    if (base != 10) i += 2;
  }
  std::uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit = 36;
    if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'Z') digit = static_cast<std::uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'z') digit = static_cast<std::uint32_t>(c - 'a' + 10);
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<int>(total);  // two's complement: 4294967295 reads as -1
}

}  // namespace rk
