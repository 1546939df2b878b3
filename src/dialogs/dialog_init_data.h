#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// Resource type of a dialog's control initialisation data (RT_DLGINIT), kept
// under the dialog template's id: strings that go into list and combo boxes
// when the dialog opens, so the entries live in the resources beside the
// template rather than in code.
inline constexpr uint16_t kDialogInitResourceType = 240;

// The 16-bit message numbers the data is written with; the window layer
// sends the 32-bit CB_ADDSTRING / LB_ADDSTRING for them.
inline constexpr uint16_t kDialogInitLbAddString = 0x0401;
inline constexpr uint16_t kDialogInitCbAddString = 0x0403;

struct DialogInitItem {
  uint16_t controlId = 0;
  uint16_t message = 0;
  std::string text;  // without its terminating NUL
  bool operator==(const DialogInitItem&) const = default;
};

// Parses the data: little-endian records of WORD control id, WORD message,
// DWORD byte length and that many bytes (a NUL-terminated string, not padded),
// ended by a zero control id.
// * Returns nothing when a record runs past the end or the end mark is
//   missing, so a damaged resource fills no control with garbage.
[[nodiscard]] std::optional<std::vector<DialogInitItem>> ParseDialogInitData(
    std::string_view bytes);

}  // namespace rk
