#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The few file operations the INI store needs, one backend per platform
// (file_io_posix.cpp, file_io_win32.cpp).
namespace rk::fileio {

// What tells one version of a file from another without reading it. Two
// equal identities are taken to mean equal bytes.
struct FileIdentity {
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // finest unit the platform keeps (ns, or 100 ns)
  std::int64_t changed = 0;   // inode change time (POSIX), creation time (Windows)
  std::uint64_t volume = 0;   // device (POSIX; 0 on Windows)
  std::uint64_t file = 0;     // inode (POSIX; 0 on Windows)
  bool operator==(const FileIdentity&) const = default;
};

enum class FileState {
  Missing,     // nothing at the path (or its folder is missing)
  Regular,     // a regular file, read whole
  NotRegular,  // a folder, FIFO, device, ...
  TooLarge,    // a regular file larger than the limit asked for
  Unreadable,  // there, but it could not be opened or read
};

struct FileSnapshot {
  FileState state = FileState::Missing;
  FileIdentity identity;  // Regular and TooLarge only
  std::string bytes;      // Regular only
};

// Identity of the regular file at path, without opening it for reading.
// * Returns state Regular with the identity, or another state and no identity.
[[nodiscard]] FileSnapshot StatFile(const std::string& path);

// The whole regular file at path, with the identity of the very bytes read.
// * Never blocks: a FIFO or device is reported NotRegular without reading.
// * A file of more than maxBytes is TooLarge and is not read.
[[nodiscard]] FileSnapshot ReadRegularFile(const std::string& path, std::size_t maxBytes);

// Replaces (or creates) the file at path with bytes, so that a reader sees
// either the old file whole or the new one whole.
// * Writes a temporary file in the same folder, flushes it to disk and renames
//   it over path; an existing file's permission bits are kept.
// * When the folder refuses a new file but the existing file may be written
//   (as Windows writes in place), the file is written in place instead: its
//   room is reserved first, and on a failed write the old bytes go back.
// * Returns false, with the old file untouched and no temporary left behind,
//   when any step fails (missing folder, no room, no permission, path is a
//   folder, the existing file is read-only); LastWriteFailure() then says why.
[[nodiscard]] bool ReplaceWholeFile(const std::string& path, std::string_view bytes);

// Why the last failed ReplaceWholeFile of this thread failed, in words.
[[nodiscard]] std::string LastWriteFailure();

// For the backends: reads a file that may grow or shrink while it is read,
// through `readChunk` (bytes read, 0 at the end, negative on failure), never
// more than maxBytes + 1 bytes. `sizeHint` is the size seen before reading.
// * Regular with the bytes, TooLarge past maxBytes, or Unreadable.
using ReadChunk = std::function<std::ptrdiff_t(char* into, std::size_t room)>;
[[nodiscard]] FileState ReadBounded(std::size_t sizeHint, std::size_t maxBytes,
                                    const ReadChunk& readChunk, std::string& bytes);

}  // namespace rk::fileio
