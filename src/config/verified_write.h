#pragma once
// The verified write: above the profile store and the INI document, so that
// every save of the product says whether the file now holds what was asked.
#include <optional>
#include <string>
#include <string_view>

#include "config/profile_store.h"

namespace rk {

// A save that did not stick: which file, and why.
struct SaveError {
  std::string path;
  std::string reason;
};

// Writes section/key and reads it back through a buffer of kProfileBufferSize.
// * Nothing when the key reads back as the value written reads (outer blanks
//   and quotes off, cut at the buffer); otherwise the file and the reason.
[[nodiscard]] std::optional<SaveError> WriteVerified(ProfileStore& profile, std::string_view section,
                                                     std::string_view key, std::string_view value,
                                                     const std::string& path);

// The message for the user: the file and the reason, in the system's texts.
[[nodiscard]] std::string SaveErrorText(const SaveError& error);

}  // namespace rk
