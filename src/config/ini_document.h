#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dbcs.h"

namespace rk {

// One INI file's bytes and an index over them, with the reading rules of the
// Windows profile functions:
// * section and key names match ASCII case-insensitively (two-byte code page
//   950 characters compare exactly); the first of duplicate sections and the
//   first of duplicate keys in that section win, and a key that only a later
//   duplicate section holds is not found;
// * white space around names and values is trimmed: blank, tab, vertical
//   tab, form feed and 0x1A (the old end-of-file mark); one pair of matching
//   outer quotes around a value is removed, a line whose first non-blank byte
//   is ';' is a comment, a section name ends at the first ']';
// * CRLF, LF and CR-only line breaks read the same;
// * lines before the first section header belong to no section;
// * a file that starts with a UTF-16 byte-order mark (FF FE, or FE FF) is a
//   Unicode file: names and values are exchanged in code page 950, the file
//   keeps its encoding when written.
// Any bytes at all are accepted; nothing is ever rejected or thrown.
class IniDocument {
 public:
  enum class Encoding { Ansi, Utf16Le, Utf16Be };

  explicit IniDocument(std::string fileBytes);

  // The value of section/key, or nothing when either is missing. The names
  // asked for are trimmed as the lines are; an empty section or key name is
  // never found.
  [[nodiscard]] std::optional<std::string> Find(std::string_view section,
                                                std::string_view key) const;

  // The value as a caller with a buffer of `bufferSize` bytes receives it
  // (see ReadThroughBuffer), or nothing when missing.
  [[nodiscard]] std::optional<std::string> FindThroughBuffer(std::string_view section,
                                                             std::string_view key,
                                                             std::size_t bufferSize) const;

  // The whole file as it must be after setting section/key to value:
  // * an existing key's value is replaced in place;
  // * a new key goes after the section's last key line, ended with the line
  //   break that section uses;
  // * a new section goes at the end (after a line break if the last line lacks one);
  // * every other byte stays as it was; a Unicode file stays in its encoding.
  // * The value is cut at its first CR, LF or NUL byte, so that it can never
  //   add lines of its own.
  // * Nothing when it cannot be stored: names that IsWritableName refuses, or
  //   a Unicode file whose text does not decode exactly or names and value
  //   with no exact Unicode form.
  [[nodiscard]] std::optional<std::string> WithValue(std::string_view section,
                                                     std::string_view key,
                                                     std::string_view value) const;

  [[nodiscard]] const std::string& bytes() const { return bytes_; }
  [[nodiscard]] Encoding encoding() const { return encoding_; }

  // Whether WithValue can store this section/key pair so that it reads back
  // under the same names: after trimming, both are non-empty and hold no CR,
  // LF or NUL; the key holds no '=' and starts with neither ';' nor '['; the
  // section holds no ']' of its own (a trail byte 0x5D is fine) and does not
  // end in a lone lead byte.
  [[nodiscard]] static bool IsWritableName(std::string_view section, std::string_view key);

  // What a value reads back as after WithValue stored `value`.
  [[nodiscard]] static std::string StoredForm(std::string_view value);
  // The same, through a caller's buffer of bufferSize bytes.
  [[nodiscard]] static std::string StoredForm(std::string_view value, std::size_t bufferSize);

  // What a caller with a buffer of `bufferSize` bytes receives of a value
  // whose trimmed text (outer quotes still on) is `raw`, as kernel32 hands it:
  // * one pair of matching outer quotes is removed; a quoted text that fills
  //   the buffer exactly loses its last byte as well, as the system's reader
  //   drops its closing quote only after the cut;
  // * the result is cut to bufferSize - 1 bytes, and one more when the cut
  //   would leave the lead byte of a two-byte character behind.
  [[nodiscard]] static std::string ReadThroughBuffer(std::string_view raw, std::size_t bufferSize);

 private:
  // The index is kept small (a few dozen bytes per key, nothing per blank
  // or comment line), since a file may be nothing but one-byte lines.
  // Offsets are 32-bit; a text of 4 GiB or more is kept but not indexed (it
  // reads as holding no sections).
  struct SectionEntry {
    std::uint64_t hash = 0;  // of the folded name
    std::uint32_t nameBegin = 0, nameEnd = 0;
    std::uint32_t insertAt = 0;       // just after the last key line (or the header)
    bool insertAfterUnended = false;  // that line ends the file without a line break
    std::uint8_t lineBreak = 0;       // last break seen in the section (kBreak*), 0: none
  };
  struct KeyEntry {
    std::uint32_t hash = 0;  // of the folded name, its low half (20 bytes a key)
    std::uint32_t section = 0;
    std::uint32_t nameBegin = 0;  // first non-blank byte of the line
    std::uint32_t equals = 0;
    std::uint32_t contentEnd = 0;  // first byte of the line break, or end of file
  };
  std::string bytes_;  // the file as read
  std::string utf8_;   // the text of a Unicode file; parsed instead of bytes_
  Encoding encoding_ = Encoding::Ansi;
  bool decodedExactly_ = true;
  std::vector<SectionEntry> sections_;       // in file order
  std::vector<std::uint32_t> sectionOrder_;  // by hash, file order among equals
  std::vector<KeyEntry> keys_;               // in file order
  // Open addressing over keys_ by (section, hash), linear probing: entries
  // are index + 1 (0: free), a power-of-two count at least 1.5 times the keys.
  // Keys that start at the same slot lie along the probe in file order, so
  // the first match is the first of duplicate names.
  std::vector<std::uint32_t> keyTable_;
  std::string lineBreak_;                    // the file's own line-break style
  bool lastLineUnended_ = false;
  [[nodiscard]] const std::string& text() const {
    return encoding_ == Encoding::Ansi ? bytes_ : utf8_;
  }
  [[nodiscard]] LeadBytePredicate isLead() const {
    return encoding_ == Encoding::Ansi ? IsCp950LeadByte : NoLeadByte;
  }
  void Parse();
  [[nodiscard]] std::optional<std::string_view> FindRaw(std::string_view section,
                                                        std::string_view key) const;
  [[nodiscard]] std::optional<std::uint32_t> FindSection(std::string_view trimmedName) const;
  [[nodiscard]] const KeyEntry* FindKey(std::uint32_t section, std::string_view trimmedKey) const;
  [[nodiscard]] std::size_t KeySlot(std::uint32_t section, std::uint32_t hash) const;
  [[nodiscard]] std::string EditedText(std::string_view section, std::string_view key,
                                       std::string_view value) const;
};

// GetPrivateProfileIntA's reading of a value text: leading blanks (any byte
// up to 0x20), an optional sign, then digits up to the first other byte; no
// digits gives 0. The digits are decimal, except after a lower-case prefix
// "0x" (hexadecimal), "0o" (octal) or "0b" (binary), which the system's
// reader honours too. They accumulate in 32 unsigned bits, so large numbers
// wrap as they do on Windows ("4294967295" is -1).
[[nodiscard]] int ParseProfileInt(std::string_view text);

}  // namespace rk
