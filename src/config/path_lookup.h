#pragma once
#include <string>
#include <string_view>

namespace rk {

// The path under which a file of the client's tree is found on this system.
// Client trees come from Windows, whose names match case-insensitively and
// whose code page 950 names become UTF-8 when unpacked elsewhere (backend):
// * Windows: the path as it is;
// * POSIX: each component that does not exist as written is looked for in
//   its folder, in this order: the same text in UTF-8 (for a code page 950
//   name), then a name equal to either form with ASCII letters folded. A
//   component found nowhere, and everything after it, stay as written (a
//   file about to be created keeps the name given).
[[nodiscard]] std::string FindOnDisk(std::string_view path);

}  // namespace rk
