#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dbcs.h"
#include "config/client_paths.h"
#include "config/connection_preference.h"
#include "config/profile_store.h"

namespace rk {

// The port check of the connect-setting dialog.
// * Accepted: one or more decimal digits, not all zeros, whose value fits a
//   signed 32-bit integer. Leading zeros are allowed ("080" is 80); no TCP
//   bound applies (70000 is accepted).
// * Refused: empty text, any byte that is not 0-9 (blank, sign, letter, a
//   byte of a two-byte character), all zeros, and a value above INT32_MAX.
//   An absurd digit string is refused rather than clamped, so the user sees
//   "Port必須是正整數" instead of finding 2147483647 stored as a port.
[[nodiscard]] std::optional<int32_t> ParsePositiveInteger(std::string_view text);
[[nodiscard]] inline bool IsPositiveInteger(std::string_view text) {
  return ParsePositiveInteger(text).has_value();
}

// A TCP port as typed in a settings dialog: a text that ParsePositiveInteger
// accepts whose value is at most 65535; nothing otherwise.
[[nodiscard]] std::optional<uint16_t> ParsePortNumber(std::string_view text);

// Index of the entry that the location combo box selects when it opens: the
// first entry that begins with `stored`, ASCII letters compared without case
// and two-byte characters compared exactly; index 0 when none begins with it
// (an empty `stored` matches the first entry); nothing for an empty list.
[[nodiscard]] std::optional<std::size_t> InitialLocationIndex(
    const std::vector<std::string>& locations, std::string_view stored, LeadBytePredicate isLead);

// Text an edit shows for a stored port: "%d" when above 0, else empty.
[[nodiscard]] std::string InitialPortText(int32_t port);

// Everything the connect-setting dialog decides, fed with control values by
// the window (or by a test or the command line).
class ConnectSettingForm {
 public:
  ConnectSettingForm(std::vector<std::string> locations, std::string strLocation, int32_t nNmPort,
                     int32_t nPsPort);

  [[nodiscard]] const std::vector<std::string>& Locations() const { return m_vecLocations; }
  [[nodiscard]] std::optional<std::size_t> InitialSelection(LeadBytePredicate isLead) const {
    return InitialLocationIndex(m_vecLocations, m_strLocation, isLead);
  }
  [[nodiscard]] std::string InitialNmPortText() const { return InitialPortText(m_nNmPort); }
  [[nodiscard]] std::string InitialPsPortText() const { return InitialPortText(m_nPsPort); }

  // What OnOK decided: nullptr when the dialog may end with OK, else the one
  // message to show (the dialog then stays open).
  // * `selection` is the combo box's current index; negative (or past the
  //   list) means nothing is selected, which is refused before the ports.
  // * An accepted port text is taken into its member even when the other
  //   port is refused; the caller reads the members only after OK.
  // * After those checks a port above 65535 is refused, the NM port first:
  //   the client could never connect to it, so it is not stored.
  [[nodiscard]] const char* OnOK(int selection, std::string_view nmPortText,
                                 std::string_view psPortText);

  // The location and ports (the initial ones until OnOK takes new ones).
  [[nodiscard]] ConnectionPreference Result() const {
    return ConnectionPreference{m_strLocation, m_nNmPort, m_nPsPort};
  }

 private:
  std::string m_strLocation;
  int32_t m_nNmPort;
  int32_t m_nPsPort;
  std::vector<std::string> m_vecLocations;
};

// Runs the dialog over a form; true when it ended with OK (the form then
// holds the confirmed values), false for Cancel.
using ConnectSettingDialogRunner = std::function<bool(ConnectSettingForm& form)>;

// The connection-setting command: reads the stored "Priority" record and the
// location list, runs the dialog and, on OK, stores the chosen preference
// (writes in the order Priority, LastSuccess, Success).
// * Returns true when the dialog ended with OK: the caller then refreshes the
//   preference label, whether or not anything was written.
// * Cancel writes nothing and returns false.
// * A save that did not stick is reported in `failure` when given.
bool OnConnectSetting(ProfileStore& profile, const ClientPaths& paths,
                      const ConnectSettingDialogRunner& runDialog,
                      std::optional<SaveError>* failure = nullptr);

// What StoreLocationKeepingPorts did.
enum class StoreLocationOutcome {
  Stored,           // written, and every write read back
  NoPriorityPorts,  // no valid priority record: the ports must be chosen in the dialog
  NotListed,        // the location is not in the dialog's list
  Refused,          // the dialog's OK refused (its message in `refusal`)
  NotSaved,         // a write did not stick (`failure`)
};
struct StoreLocationResult {
  StoreLocationOutcome outcome = StoreLocationOutcome::NotListed;
  const char* refusal = nullptr;
  std::optional<SaveError> failure;
};

// Stores `location` as the preferred connection through OnConnectSetting, as
// if the user picked it in the dialog and pressed OK over the ports the
// dialog shows from the stored priority record (so they are kept). Nothing is
// written without a valid priority record or for a location not listed exactly.
[[nodiscard]] StoreLocationResult StoreLocationKeepingPorts(ProfileStore& profile,
                                                            const ClientPaths& paths,
                                                            std::string_view location);

}  // namespace rk
