#include "dialogs/connect_setting_form.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/format.h"
#include "base/texts.h"

namespace rk {

std::optional<int32_t> ParsePositiveInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    // Leading zeros keep the value at 0, so any length of them is fine.
    if (value > kMax) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return static_cast<int32_t>(value);
}

namespace {

// Whether `entry` begins with `prefix`, ASCII letters folded and two-byte
// characters compared exactly (a trail byte 'A' never matches 'a').
bool BeginsWithIgnoreAsciiCase(std::string_view entry, std::string_view prefix,
                               LeadBytePredicate isLead) {
  return prefix.size() <= entry.size() &&
         EqualsIgnoreAsciiCase(entry.substr(0, prefix.size()), prefix, isLead);
}

}  // namespace

std::optional<std::size_t> InitialLocationIndex(const std::vector<std::string>& locations,
                                                std::string_view stored, LeadBytePredicate isLead) {
  if (locations.empty()) return std::nullopt;
  for (std::size_t i = 0; i < locations.size(); ++i)
    if (BeginsWithIgnoreAsciiCase(locations[i], stored, isLead)) return i;
  return 0;
}

std::optional<uint16_t> ParsePortNumber(std::string_view text) {
  const std::optional<int32_t> value = ParsePositiveInteger(text);
  if (!value || *value > 65535) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

std::string InitialPortText(int32_t port) { return port > 0 ? Format("%d", port) : std::string(); }

ConnectSettingForm::ConnectSettingForm(std::vector<std::string> locations, std::string strLocation,
                                       int32_t nNmPort, int32_t nPsPort)
    : m_strLocation(std::move(strLocation)),
      m_nNmPort(nNmPort),
      m_nPsPort(nPsPort),
      m_vecLocations(std::move(locations)) {}

const char* ConnectSettingForm::OnOK(int selection, std::string_view nmPortText,
                                     std::string_view psPortText) {
  if (selection < 0 || static_cast<std::size_t>(selection) >= m_vecLocations.size())
    return text::kNoLocationChosen;
  m_strLocation = m_vecLocations[static_cast<std::size_t>(selection)];
  const std::optional<int32_t> nm = ParsePositiveInteger(nmPortText);
  if (nm) m_nNmPort = *nm;
  const std::optional<int32_t> ps = ParsePositiveInteger(psPortText);
  if (ps) m_nPsPort = *ps;
  if (!nm || !ps) return text::kPortMustBePositive;
  if (*nm > 65535) return text::kNmPortOutOfRange;
  if (*ps > 65535) return text::kPsPortOutOfRange;
  return nullptr;
}

bool OnConnectSetting(ProfileStore& profile, const ClientPaths& paths,
                      const ConnectSettingDialogRunner& runDialog,
                      std::optional<SaveError>* failure) {
  ConnectionPreference stored;
  ReadConnectionPreference(stored, true, profile, paths);
  ConnectSettingForm form(ReadLocationList(profile, paths), stored.strLocation, stored.nNmPort,
                          stored.nPsPort);
  if (!runDialog(form)) return false;
  std::optional<SaveError> failed = StoreConnectionPreference(form.Result(), profile, paths);
  if (failure != nullptr) *failure = std::move(failed);
  return true;
}

StoreLocationResult StoreLocationKeepingPorts(ProfileStore& profile, const ClientPaths& paths,
                                              std::string_view location) {
  StoreLocationResult result;
  ConnectionPreference priority;
  ReadConnectionPreference(priority, true, profile, paths);
  if (!priority.IsValid()) {
    result.outcome = StoreLocationOutcome::NoPriorityPorts;
    return result;
  }
  bool listed = false;
  const bool confirmed = OnConnectSetting(profile, paths, [&](ConnectSettingForm& form) {
    const std::vector<std::string>& locations = form.Locations();
    const auto found = std::find(locations.begin(), locations.end(), location);
    listed = found != locations.end();
    if (!listed) return false;
    result.refusal = form.OnOK(static_cast<int>(found - locations.begin()), form.InitialNmPortText(),
                               form.InitialPsPortText());
    return result.refusal == nullptr;
  }, &result.failure);
  if (!listed)
    result.outcome = StoreLocationOutcome::NotListed;
  else if (!confirmed)
    result.outcome = StoreLocationOutcome::Refused;
  else
    result.outcome = result.failure ? StoreLocationOutcome::NotSaved : StoreLocationOutcome::Stored;
  return result;
}

}  // namespace rk
