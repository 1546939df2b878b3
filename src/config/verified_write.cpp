#include "config/verified_write.h"

#include "base/format.h"
#include "base/texts.h"
#include "config/ini_document.h"

namespace rk {

std::optional<SaveError> WriteVerified(ProfileStore& profile, std::string_view section,
                                       std::string_view key, std::string_view value,
                                       const std::string& path) {
  if (!profile.WriteString(section, key, value, path)) {
    std::string reason = profile.LastWriteFailure();
    if (reason.empty()) reason = "the file could not be written";
    return SaveError{path, std::move(reason)};
  }
  // A default no stored value equals (see the proxy record's key probe).
  constexpr char kNotStored[] = "\x7F<missing>\x7F";
  const std::string expected = IniDocument::StoredForm(value, kProfileBufferSize);
  const std::string stored = profile.GetString(section, key, kNotStored, kProfileBufferSize, path);
  if (stored == expected) return std::nullopt;
  return SaveError{path, stored == kNotStored ? "the value is missing after writing"
                                              : "the value read back differs from the one written"};
}

std::string SaveErrorText(const SaveError& error) {
  return Format(text::kSettingNotSavedFormat, error.path.c_str(), error.reason.c_str());
}

}  // namespace rk
