#include "config/connection_preference.h"

#include <limits>

#include "base/format.h"
#include "base/texts.h"
#include "base/white_space.h"

namespace rk {

namespace {

std::string ReplaceAll(std::string_view text, char from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == from) out += to;
    else out += c;
  }
  return out;
}

}  // namespace

void SplitList(std::vector<std::string>& list, std::string_view text, std::string_view separator,
               bool clear) {
  if (clear) list.clear();
  std::string_view rest = text;
  for (;;) {
    rest = TrimWhiteSpace(rest);
    const std::size_t at = separator.empty() ? std::string_view::npos : rest.find(separator);
    const std::string_view piece = at == std::string_view::npos ? rest : rest.substr(0, at);
    if (!piece.empty()) list.emplace_back(piece);
    if (at == std::string_view::npos) return;
    rest.remove_prefix(at + separator.size());
  }
}

int32_t ParseLeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturate: keep reading, never overflow
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value >= kLimit ? kLimit - 1 : value);
}

void ReadConnectionPreference(ConnectionPreference& record, bool priority, ProfileStore& profile,
                              const ClientPaths& paths) {
  record = ConnectionPreference{};
  const std::string value = profile.GetString(priority ? kPrioritySection : kSuccessSection,
                                              kComboKey, "", kProfileBufferSize,
                                              paths.ToolSettingsPath());
  if (value.empty()) return;
  std::vector<std::string> pieces;
  SplitList(pieces, value, ",", true);
  if (pieces.size() != 3) return;
  record.strLocation = pieces[0];
  record.nNmPort = ParseLeadingInt(pieces[1]);
  record.nPsPort = ParseLeadingInt(pieces[2]);
}

std::string FormatConnectionPreference(const ConnectionPreference& record) {
  if (!record.IsValid()) return text::kNoRecord;
  return Format(text::kRecordFormat, record.strLocation.c_str(), record.nNmPort, record.nPsPort);
}

std::string PreferenceLabelText(ProfileStore& profile, const ClientPaths& paths) {
  ConnectionPreference priority;
  ConnectionPreference success;
  ReadConnectionPreference(priority, true, profile, paths);
  ReadConnectionPreference(success, false, profile, paths);
  // A comma is never a trail byte in code page 950, so a byte-wise replace
  // cannot cut a Chinese location name.
  const std::string priorityText =
      ReplaceAll(FormatConnectionPreference(priority), ',', text::kIdeographicSpace);
  const std::string successText =
      ReplaceAll(FormatConnectionPreference(success), ',', text::kIdeographicSpace);
  return Format(text::kPreferenceLabelFormat, successText.c_str(), priorityText.c_str());
}

std::vector<std::string> ReadLocationList(ProfileStore& profile, const ClientPaths& paths) {
  std::vector<std::string> locations;
  const std::string names =
      profile.GetString("Tradedesk", "Name", "", kProfileBufferSize, paths.QuoteSettingsPath());
  if (!names.empty()) SplitList(locations, names, ",", true);
  return locations;
}

std::optional<SaveError> StoreConnectionPreference(const ConnectionPreference& chosen,
                                                   ProfileStore& profile,
                                                   const ClientPaths& paths) {
  if (!chosen.IsValid()) return std::nullopt;
  const std::string file = paths.ToolSettingsPath();
  if (auto failed =
          WriteVerified(profile, kPrioritySection, kComboKey, FormatConnectionPreference(chosen), file))
    return failed;
  ConnectionPreference success;
  ReadConnectionPreference(success, false, profile, paths);
  if (!success.IsValid()) return std::nullopt;
  if (auto failed = WriteVerified(profile, kLastSuccessSection, kComboKey,
                                  FormatConnectionPreference(success), file))
    return failed;
  return WriteVerified(profile, kSuccessSection, kComboKey, text::kNoRecord, file);
}

}  // namespace rk
