#include <stdio.h>
#include <unistd.h>

#include "runs/watch_log.h"

namespace rk::watch_files {

bool SyncToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

// rename replaces the target in one step.
bool MoveReplacing(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace rk::watch_files
