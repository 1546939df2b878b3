#include <io.h>
#include <stdio.h>
#include <windows.h>
#undef ReplaceFile  // a macro of windows.h for ReplaceFileA; ours is another function

#include "runs/watch_log.h"

namespace rk::watch_files {

bool SyncToDisk(std::FILE* file) { return ::_commit(::_fileno(file)) == 0; }

// The C library's rename fails when the target exists; paths are in the ANSI
// code page, as the command line gave them.
bool MoveReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace rk::watch_files
