#include "config/file_io.h"

namespace rk::fileio {

FileState ReadBounded(std::size_t sizeHint, std::size_t maxBytes, const ReadChunk& readChunk,
                      std::string& bytes) {
  bytes.resize(sizeHint + 1);
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (bytes.size() > maxBytes) return FileState::TooLarge;
      bytes.resize(bytes.size() < maxBytes / 2 ? bytes.size() * 2 + 4096 : maxBytes + 1);
    }
    const std::ptrdiff_t n = readChunk(bytes.data() + have, bytes.size() - have);
    if (n < 0) return FileState::Unreadable;
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  if (have > maxBytes) return FileState::TooLarge;
  bytes.resize(have);
  return FileState::Regular;
}

}  // namespace rk::fileio
