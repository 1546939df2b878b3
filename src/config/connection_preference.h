#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/client_paths.h"
#include "config/verified_write.h"

namespace rk {

// A preferred (or last successful) connection location with its two ports.
struct ConnectionPreference {
  std::string strLocation;
  int32_t nNmPort = -1;
  int32_t nPsPort = -1;

  // Valid: a location and both ports 0 or greater.
  [[nodiscard]] bool IsValid() const { return !strLocation.empty() && nNmPort >= 0 && nPsPort >= 0; }
};

inline constexpr char kPrioritySection[] = "Priority";
inline constexpr char kSuccessSection[] = "Success";
inline constexpr char kLastSuccessSection[] = "LastSuccess";
inline constexpr char kComboKey[] = "Combo";

// Splits `text` at every `separator`; white space (space, 0x09-0x0D) is
// trimmed from both ends of the rest before each piece, and empty pieces are
// dropped. `clear` empties `list` first, else pieces are appended.
void SplitList(std::vector<std::string>& list, std::string_view text, std::string_view separator,
               bool clear);

// atoi's reading: leading white space, an optional sign, decimal digits up
// to the first other byte; no digits gives 0. Digits beyond the 32-bit range
// saturate at INT32_MAX / INT32_MIN, so a huge port never turns valid by wrapping.
[[nodiscard]] int32_t ParseLeadingInt(std::string_view text);

// Fills `record` from section "Priority" (priority true) or "Success" of the
// tool's settings file; anything but exactly three pieces leaves the empty record.
void ReadConnectionPreference(ConnectionPreference& record, bool priority, ProfileStore& profile,
                              const ClientPaths& paths);

// "%s,%d,%d" for a valid record, " - " otherwise.
[[nodiscard]] std::string FormatConnectionPreference(const ConnectionPreference& record);

// The text of the window's preference label: success record first, then the
// priority record, commas shown as ideographic spaces.
[[nodiscard]] std::string PreferenceLabelText(ProfileStore& profile, const ClientPaths& paths);

// The location list offered by the connect-setting dialog ("Name" of section
// "Tradedesk" in the quote settings, split at commas).
[[nodiscard]] std::vector<std::string> ReadLocationList(ProfileStore& profile,
                                                        const ClientPaths& paths);

// Stores a confirmed preference: when valid, "Priority" gets it, and a valid
// "Success" record moves to "LastSuccess" while "Success" becomes " - ".
// Writes happen in the order Priority, LastSuccess, Success; an invalid
// preference writes nothing. Each write is read back.
// * Nothing when everything stuck; else the first failure, and nothing more
//   is written after it.
[[nodiscard]] std::optional<SaveError> StoreConnectionPreference(const ConnectionPreference& chosen, ProfileStore& profile,
                               const ClientPaths& paths);

}  // namespace rk
