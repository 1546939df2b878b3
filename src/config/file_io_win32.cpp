#include <windows.h>

#include <atomic>

#include "base/dbcs.h"
#include "config/file_io.h"

namespace rk::fileio {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  [[nodiscard]] HANDLE get() const { return h_; }
  void Reset(HANDLE h) {
    Close();
    h_ = h;
  }
  [[nodiscard]] bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  bool Close() {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h == INVALID_HANDLE_VALUE || h == nullptr || CloseHandle(h) != FALSE;
  }

 private:
  HANDLE h_;
};

FileState StateOfError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return FileState::Missing;
    default:
      return FileState::Unreadable;
  }
}

// Opens path for reading without ever waiting: a folder opens (so that it can be told apart from a missing
// file) and a pipe or device shows as other than a disk file.
Handle OpenExisting(const std::string& path, DWORD access) {
  return Handle(CreateFileA(path.c_str(), access,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::int64_t Ticks(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
}

// The identity is what one attribute query gives: size, last write and
// creation time (no file index, which takes opening the file: under Wine
// that is fifty times dearer, and the store asks at every read). A file
// replaced by a rename shows by its times; the product itself reads through
// kernel32 on Windows and uses this engine only to be measured against it.
FileIdentity IdentityOf(std::uint64_t size, const FILETIME& written, const FILETIME& created) {
  FileIdentity id;
  id.size = size;
  id.modified = Ticks(written);
  id.changed = Ticks(created);
  return id;
}

// Tells whether the open handle is a regular disk file, and its identity.
FileState Describe(HANDLE h, FileIdentity& id) {
  if (GetFileType(h) != FILE_TYPE_DISK) return FileState::NotRegular;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return FileState::Unreadable;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileState::NotRegular;
  id = IdentityOf((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                  info.ftLastWriteTime, info.ftCreationTime);
  return FileState::Regular;
}

}  // namespace

FileSnapshot StatFile(const std::string& path) {
  FileSnapshot snapshot;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    snapshot.state = StateOfError(GetLastError());
    return snapshot;
  }
  // Pipes and devices have no attributes to query, and folders are not files.
  if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    snapshot.state = FileState::NotRegular;
    return snapshot;
  }
  snapshot.state = FileState::Regular;
  snapshot.identity =
      IdentityOf((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                 data.ftLastWriteTime, data.ftCreationTime);
  return snapshot;
}

FileSnapshot ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  FileSnapshot snapshot;
  Handle h = OpenExisting(path, GENERIC_READ);
  if (!h.valid()) {
    snapshot.state = StateOfError(GetLastError());
    return snapshot;
  }
  snapshot.state = Describe(h.get(), snapshot.identity);
  if (snapshot.state != FileState::Regular) return snapshot;
  if (snapshot.identity.size > maxBytes) {
    snapshot.state = FileState::TooLarge;
    return snapshot;
  }
  std::string bytes;
  snapshot.state = ReadBounded(
      static_cast<std::size_t>(snapshot.identity.size), maxBytes,
      [&h](char* into, std::size_t room) -> std::ptrdiff_t {
        const DWORD ask = room > 0x40000000u ? 0x40000000u : static_cast<DWORD>(room);
        DWORD got = 0;
        if (!ReadFile(h.get(), into, ask, &got, nullptr)) return -1;
        return static_cast<std::ptrdiff_t>(got);
      },
      bytes);
  if (snapshot.state != FileState::Regular) return snapshot;
  const std::size_t have = bytes.size();
  if (have != snapshot.identity.size) {
    FileIdentity after;
    if (Describe(h.get(), after) == FileState::Regular) snapshot.identity = after;
  }
  snapshot.bytes = std::move(bytes);
  return snapshot;
}

namespace {

thread_local std::string g_lastWriteFailure;

// The system's own words for an error (access denied, disk full, ...), in
// the ANSI code page like every other text of the window; its number where
// the system has none.
std::string SystemMessage(DWORD error) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                           text.back() == '.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

bool Fail(const char* what, DWORD error) {
  g_lastWriteFailure = what;
  if (error != 0) g_lastWriteFailure += ": " + SystemMessage(error);
  return false;
}

}  // namespace

std::string LastWriteFailure() { return g_lastWriteFailure; }

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  g_lastWriteFailure.clear();
  if (path.empty()) return Fail("no file name", 0);
  const DWORD attributes = GetFileAttributesA(path.c_str());
  bool exists = false;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (StateOfError(error) != FileState::Missing) return Fail("cannot reach the file", error);
  } else {
    // A folder is not replaced; a read-only file stays as it is, as the
    // system's own profile writer leaves it.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail("not a regular file", 0);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return Fail("the file is read-only", 0);
    exists = true;
  }

  // The temporary goes beside the file, so the rename never crosses volumes.
  // Path texts are in the ANSI code page, whose trail bytes may be '\\'.
  const std::size_t back = FindLastChar(path, '\\', SystemLeadByte);
  const std::size_t forward = path.rfind('/');
  std::size_t cut = back;
  if (cut == std::string::npos || (forward != std::string::npos && forward > cut)) cut = forward;
  const std::string folderPrefix = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  if (name.empty()) return Fail("no file name", 0);

  static std::atomic<unsigned> counter{0};
  std::string temp;
  Handle h(INVALID_HANDLE_VALUE);
  for (int attempt = 0; attempt < 16 && !h.valid(); ++attempt) {
    temp = folderPrefix + "~" + name + ".rk" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
    h.Reset(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid() && GetLastError() != ERROR_FILE_EXISTS)
      return Fail("the folder takes no new file", GetLastError());
  }
  if (!h.valid()) return Fail("the folder takes no new file", GetLastError());

  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const std::size_t left = bytes.size() - done;
    const DWORD ask = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD wrote = 0;
    ok = WriteFile(h.get(), bytes.data() + done, ask, &wrote, nullptr) != FALSE && wrote > 0;
    done += wrote;
  }
  ok = ok && FlushFileBuffers(h.get()) != FALSE;
  ok = h.Close() && ok;
  // Hidden / system / archive bits of the old file carry over; its access
  // list does not (the new file takes the folder's, as any new file there).
  if (ok && exists) SetFileAttributesA(temp.c_str(), attributes);
  ok = ok && MoveFileExA(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  if (!ok) {
    const DWORD error = GetLastError();
    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp.c_str());
    return Fail("cannot write the file", error);
  }
  return true;
}

}  // namespace rk::fileio
