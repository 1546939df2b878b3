#include <dirent.h>
#include <sys/stat.h>

#include <optional>
#include <vector>

#include "base/codepage.h"
#include "base/dbcs.h"
#include "config/path_lookup.h"

namespace rk {

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// The name in `folder` that equals `name` with ASCII letters folded, if any
// (the first in directory order when several do).
std::optional<std::string> FoldedMatch(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* entry = ::readdir(dir)) {
    if (EqualsIgnoreAsciiCase(entry->d_name, name, NoLeadByte)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string FindOnDisk(std::string_view path) {
  if (path.empty() || Exists(std::string(path))) return std::string(path);
  std::string resolved;
  std::size_t pos = 0;
  if (path.front() == '/') {
    resolved = "/";
    pos = 1;
  }
  bool lost = false;  // a component was found nowhere: the rest stays as written
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string name(path.substr(pos, slash - pos));
    const std::string folder = resolved;
    std::string candidate = folder;
    if (!candidate.empty() && candidate.back() != '/') candidate += '/';
    std::string chosen = name;
    if (!lost && !name.empty() && name != "." && name != ".." && !Exists(candidate + name)) {
      const std::optional<std::string> utf8 = Cp950ToUtf8Exact(name);
      if (utf8 && *utf8 != name && Exists(candidate + *utf8)) {
        chosen = *utf8;
      } else if (auto folded = FoldedMatch(folder, name)) {
        chosen = *folded;
      } else if (utf8 && *utf8 != name) {
        if (auto foldedUtf8 = FoldedMatch(folder, *utf8)) chosen = *foldedUtf8;
        else lost = true;
      } else {
        lost = true;
      }
    }
    resolved = candidate + chosen;
    if (slash == path.size()) break;
    pos = slash + 1;
  }
  return resolved;
}

}  // namespace rk
