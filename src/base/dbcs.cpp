#include "base/dbcs.h"

namespace rk {

bool IsCp950LeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

bool NoLeadByte(unsigned char) { return false; }

std::size_t FindLastChar(std::string_view text, char c, LeadBytePredicate isLead) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;  // step over the trail byte
      continue;
    }
    if (text[i] == c) found = i;
  }
  return found;
}

namespace {
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b, LeadBytePredicate isLead) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (isLead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace rk
