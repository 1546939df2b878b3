#include "config/ini_engine.h"

#include <mutex>

#include "base/dbcs.h"
#include "config/file_io.h"

namespace rk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

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
std::size_t FindSectionEnd(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (IsCp950LeadByte(byte) && i + 1 < text.size() &&
        IsCp950TrailByte(static_cast<unsigned char>(text[i + 1]))) {
      ++i;
      continue;
    }
    if (text[i] == ']') return i;
  }
  return std::string_view::npos;
}

// A name in a form where equal forms mean EqualsIgnoreAsciiCase(a, b,
// IsCp950LeadByte): ASCII letters folded, two-byte characters copied as they
// are (pairing a lead byte with whatever follows, as that comparison does).
std::string Folded(std::string_view name) {
  std::string out(name);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsCp950LeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  }
  return out;
}

std::string_view WithoutOuterQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
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

}  // namespace

IniDocument::IniDocument(std::string bytes) : bytes_(std::move(bytes)) { Parse(); }

void IniDocument::Parse() {
  const std::string_view all(bytes_);
  std::size_t pos = 0;
  while (pos < all.size()) {
    Line line;
    line.begin = pos;
    std::size_t stop = all.find_first_of("\r\n", pos);
    if (stop == std::string_view::npos) stop = all.size();
    line.contentEnd = stop;
    line.end = stop;
    if (stop < all.size()) {
      line.end = (all[stop] == '\r' && stop + 1 < all.size() && all[stop + 1] == '\n') ? stop + 2
                                                                                      : stop + 1;
      if (lineBreak_.empty()) lineBreak_ = std::string(all.substr(stop, line.end - stop));
    }
    pos = line.end;

    std::size_t first = line.begin;
    while (first < line.contentEnd && IsBlank(all[first])) ++first;
    const std::string_view content = all.substr(first, line.contentEnd - first);
    if (content.empty()) {
      line.kind = LineKind::Blank;
    } else if (content.front() == ';') {
      line.kind = LineKind::Comment;
    } else if (content.front() == '[') {
      line.kind = LineKind::Section;
      const std::string_view inner = content.substr(1);
      const std::size_t close = FindSectionEnd(inner);
      const std::string_view raw = close == std::string_view::npos ? inner : inner.substr(0, close);
      const std::string_view name = Trim(raw);
      line.nameBegin = static_cast<std::size_t>(name.data() - all.data());
      line.nameEnd = line.nameBegin + name.size();
    } else if (const std::size_t eq = content.find('='); eq != std::string_view::npos) {
      line.kind = LineKind::Key;
      const std::string_view name = Trim(content.substr(0, eq));
      const std::string_view value = Trim(content.substr(eq + 1));
      line.equals = first + eq;
      line.nameBegin = static_cast<std::size_t>(name.data() - all.data());
      line.nameEnd = line.nameBegin + name.size();
      line.valueBegin = static_cast<std::size_t>(value.data() - all.data());
      line.valueEnd = line.valueBegin + value.size();
    } else {
      line.kind = LineKind::Other;
    }
    lines_.push_back(line);
  }
  if (lineBreak_.empty()) lineBreak_ = "\r\n";

  // Only the first section of each name is ever looked into, so only its
  // keys are indexed.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t current = kNone;
  bool indexing = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::Section) {
      if (current != kNone) sections_[current].endLine = i;
      current = sections_.size();
      sections_.push_back(Section{});
      sections_[current].headerLine = i;
      sections_[current].lastKeyLine = i;
      indexing = sectionIndex_.emplace(Folded(NameOf(line)), current).second;
      continue;
    }
    if (current == kNone) continue;  // before the first section: no section's
    Section& section = sections_[current];
    if (line.kind == LineKind::Key || line.kind == LineKind::Other) section.lastKeyLine = i;
    if (indexing && line.kind == LineKind::Key && line.nameEnd > line.nameBegin)
      section.keys.emplace(Folded(NameOf(line)), i);
  }
  if (current != kNone) sections_[current].endLine = lines_.size();
}

std::string_view IniDocument::NameOf(const Line& line) const {
  return std::string_view(bytes_).substr(line.nameBegin, line.nameEnd - line.nameBegin);
}

const IniDocument::Section* IniDocument::FindSection(std::string_view trimmedName) const {
  const auto it = sectionIndex_.find(Folded(trimmedName));
  if (it == sectionIndex_.end()) return nullptr;
  const Section& section = sections_[it->second];
  if (!EqualsIgnoreAsciiCase(NameOf(lines_[section.headerLine]), trimmedName, IsCp950LeadByte))
    return nullptr;
  return &section;
}

const IniDocument::Line* IniDocument::FindKey(const Section& section,
                                              std::string_view trimmedKey) const {
  const auto it = section.keys.find(Folded(trimmedKey));
  if (it == section.keys.end()) return nullptr;
  const Line& line = lines_[it->second];
  if (!EqualsIgnoreAsciiCase(NameOf(line), trimmedKey, IsCp950LeadByte)) return nullptr;
  return &line;
}

std::optional<std::string> IniDocument::Find(std::string_view section,
                                             std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty()) return std::nullopt;
  const Section* found = FindSection(section);
  if (found == nullptr) return std::nullopt;
  const Line* line = FindKey(*found, key);
  if (line == nullptr) return std::nullopt;
  const std::string_view value =
      std::string_view(bytes_).substr(line->valueBegin, line->valueEnd - line->valueBegin);
  return std::string(WithoutOuterQuotes(value));
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
  return FindSectionEnd(header) == section.size();
}

std::string IniDocument::StoredForm(std::string_view value) {
  return std::string(WithoutOuterQuotes(Trim(FirstLine(value))));
}

// New lines take the line-break style the file already uses (its first line
// break; CRLF for a file that has none yet, as the system's writer creates
// it). The client's programs read every style alike, but a file edited by
// hand on another system stays in one style instead of becoming a mix that
// shows up as noise in every diff and editor.
std::string IniDocument::WithValue(std::string_view section, std::string_view key,
                                   std::string_view value) const {
  if (!IsWritableName(section, key)) return bytes_;
  section = Trim(section);
  key = Trim(key);
  value = FirstLine(value);

  const Section* found = FindSection(section);
  if (found != nullptr) {
    if (const Line* line = FindKey(*found, key)) {
      std::string out;
      out.reserve(bytes_.size() + value.size());
      out.append(bytes_, 0, line->equals + 1);
      out.append(value);
      out.append(bytes_, line->contentEnd);
      return out;
    }
    const Line& after = lines_[found->lastKeyLine];
    const std::size_t at = after.end;
    std::string added;
    if (after.end == after.contentEnd) added += lineBreak_;  // last line of the file, unended
    added.append(key);
    added += '=';
    added.append(value);
    // A CR-only break right before an LF of the file would merge with it
    // into one CRLF and swallow that (empty) line.
    if (lineBreak_ == "\r" && at < bytes_.size() && bytes_[at] == '\n')
      added += "\r\n";
    else
      added += lineBreak_;
    std::string out;
    out.reserve(bytes_.size() + added.size());
    out.append(bytes_, 0, at);
    out += added;
    out.append(bytes_, at);
    return out;
  }

  std::string out = bytes_;
  if (!lines_.empty() && lines_.back().end == lines_.back().contentEnd) out += lineBreak_;
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

struct IniProfileStore::Cache {
  struct Entry {
    fileio::FileIdentity identity;
    std::shared_ptr<const IniDocument> document;
  };
  struct Loaded {
    fileio::FileState state = fileio::FileState::Missing;
    std::shared_ptr<const IniDocument> document;  // state Regular only
  };
  // The program reads a handful of files; the bound only keeps a stray
  // caller from growing the map without end.
  static constexpr std::size_t kMaxEntries = 64;

  std::mutex mutex;
  std::unordered_map<std::string, Entry> entries;
  std::size_t loads = 0;

  // The parsed file at path, read again only when its identity changed.
  // Caller holds the mutex.
  Loaded Load(const std::string& path) {
    const fileio::FileSnapshot stat = fileio::StatFile(path);
    if (stat.state != fileio::FileState::Regular) {
      entries.erase(path);
      return {stat.state, nullptr};
    }
    if (const auto it = entries.find(path); it != entries.end() && it->second.identity == stat.identity)
      return {fileio::FileState::Regular, it->second.document};

    fileio::FileSnapshot read = fileio::ReadRegularFile(path, kMaxFileBytes);
    if (read.state != fileio::FileState::Regular) {
      entries.erase(path);
      return {read.state, nullptr};
    }
    ++loads;
    auto document = std::make_shared<const IniDocument>(std::move(read.bytes));
    if (entries.size() >= kMaxEntries && entries.find(path) == entries.end()) entries.clear();
    entries[path] = Entry{read.identity, document};
    return {fileio::FileState::Regular, document};
  }
};

IniProfileStore::IniProfileStore() : cache_(std::make_unique<Cache>()) {}
IniProfileStore::~IniProfileStore() = default;

std::size_t IniProfileStore::loads() const {
  std::lock_guard lock(cache_->mutex);
  return cache_->loads;
}

std::string IniProfileStore::GetString(std::string_view section, std::string_view key,
                                       std::string_view fallback, std::size_t bufferSize,
                                       const std::string& path) {
  if (bufferSize == 0) return {};
  std::optional<std::string> value;
  {
    std::lock_guard lock(cache_->mutex);
    const Cache::Loaded loaded = cache_->Load(path);
    if (loaded.document) value = loaded.document->Find(section, key);
  }
  std::string out;
  if (value) {
    out = std::move(*value);
  } else {
    // The system's reader drops trailing blanks of the default text.
    std::size_t end = fallback.size();
    while (end > 0 && fallback[end - 1] == ' ') --end;
    out = std::string(fallback.substr(0, end));
  }
  // The caller gets a C text: a NUL byte in the file ends it.
  if (const std::size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
  if (out.size() > bufferSize - 1) out.resize(bufferSize - 1);
  return out;
}

int IniProfileStore::GetInt(std::string_view section, std::string_view key, int fallback,
                            const std::string& path) {
  std::optional<std::string> value;
  {
    std::lock_guard lock(cache_->mutex);
    const Cache::Loaded loaded = cache_->Load(path);
    if (loaded.document) value = loaded.document->Find(section, key);
  }
  if (!value) return fallback;
  if (const std::size_t nul = value->find('\0'); nul != std::string::npos) value->resize(nul);
  // A key that is there but empty reads as the default, as with the system's
  // reader (which cannot tell it from a missing key).
  if (value->empty()) return fallback;
  return ParseProfileInt(*value);
}

bool IniProfileStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value, const std::string& path) {
  if (!IniDocument::IsWritableName(section, key)) return false;
  std::lock_guard lock(cache_->mutex);
  const Cache::Loaded loaded = cache_->Load(path);
  std::string updated;
  if (loaded.state == fileio::FileState::Missing) {
    updated = IniDocument(std::string()).WithValue(section, key, value);
  } else if (loaded.document) {
    updated = loaded.document->WithValue(section, key, value);
    if (updated == loaded.document->bytes()) return true;  // already so
  } else {
    // There but not read (a folder, too large, unreadable): writing a fresh
    // file over it would lose whatever it holds.
    return false;
  }
  const bool ok = fileio::ReplaceWholeFile(path, updated);
  cache_->entries.erase(path);
  return ok;
}

}  // namespace rk
