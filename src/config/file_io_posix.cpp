#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "config/file_io.h"

namespace rk::fileio {

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and tells whether the close itself succeeded (a delayed write
  // error can surface here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + static_cast<std::int64_t>(t.tv_nsec);
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.size = static_cast<std::uint64_t>(st.st_size);
  id.modified = Nanoseconds(st.st_mtim);
  id.changed = Nanoseconds(st.st_ctim);
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.file = static_cast<std::uint64_t>(st.st_ino);
  return id;
}

FileState StateOfError(int error) {
  return (error == ENOENT || error == ENOTDIR) ? FileState::Missing : FileState::Unreadable;
}

// The folder part of path ("." for a bare name) and the name part.
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

FileSnapshot StatFile(const std::string& path) {
  FileSnapshot snapshot;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    snapshot.state = StateOfError(errno);
    return snapshot;
  }
  if (!S_ISREG(st.st_mode)) {
    snapshot.state = FileState::NotRegular;
    return snapshot;
  }
  snapshot.state = FileState::Regular;
  snapshot.identity = IdentityOf(st);
  return snapshot;
}

FileSnapshot ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  FileSnapshot snapshot;
  // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    snapshot.state = StateOfError(errno);
    return snapshot;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    snapshot.state = FileState::Unreadable;
    return snapshot;
  }
  if (!S_ISREG(st.st_mode)) {
    snapshot.state = FileState::NotRegular;
    return snapshot;
  }
  snapshot.identity = IdentityOf(st);
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    snapshot.state = FileState::TooLarge;
    return snapshot;
  }
  std::string bytes;
  snapshot.state = ReadBounded(
      static_cast<std::size_t>(st.st_size), maxBytes,
      [&fd](char* into, std::size_t room) -> std::ptrdiff_t {
        for (;;) {
          const ssize_t n = ::read(fd.get(), into, room);
          if (n >= 0 || errno != EINTR) return n;
        }
      },
      bytes);
  if (snapshot.state != FileState::Regular) return snapshot;
  const std::size_t have = bytes.size();
  if (have != static_cast<std::size_t>(st.st_size)) {
    // Changed under us: the identity from before the read would describe
    // other bytes, so take the one that belongs to what was read (a later
    // change will again differ from it).
    struct stat after {};
    if (::fstat(fd.get(), &after) == 0) snapshot.identity = IdentityOf(after);
  }
  snapshot.bytes = std::move(bytes);
  return snapshot;
}

namespace {

thread_local std::string g_lastWriteFailure;

bool Fail(const char* what, int error) {
  g_lastWriteFailure = std::string(what) + (error != 0 ? std::string(": ") + std::strerror(error) : "");
  return false;
}

// Writes bytes over the file at target in place, for a folder that takes no
// new file. Room for the new size is reserved before the first byte changes,
// so a full disk fails before touching the file; should a write still fail,
// the old bytes are put back.
bool WriteInPlace(const std::string& target, std::string_view bytes) {
  Fd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  if (fd.get() < 0) return Fail("cannot open the file for writing", errno);
  std::string old;
  const FileState read = ReadBounded(0, SIZE_MAX / 2, [&fd](char* into, std::size_t room) {
    return static_cast<std::ptrdiff_t>(::read(fd.get(), into, room));
  }, old);
  if (read != FileState::Regular) return Fail("cannot read the file", errno);
  if (bytes.size() > old.size()) {
    const int rc = ::posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes.size()));
    if (rc != 0) return Fail("no room for the file", rc);
  }
  const auto writeFromStart = [&fd](std::string_view data) {
    return ::lseek(fd.get(), 0, SEEK_SET) == 0 && WriteAll(fd.get(), data) &&
           ::ftruncate(fd.get(), static_cast<off_t>(data.size())) == 0;
  };
  if (!writeFromStart(bytes) || ::fsync(fd.get()) != 0) {
    const int error = errno;
    (void)writeFromStart(old);
    (void)::fsync(fd.get());
    return Fail("cannot write the file", error);
  }
  return true;
}

}  // namespace

std::string LastWriteFailure() { return g_lastWriteFailure; }

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  g_lastWriteFailure.clear();
  if (path.empty()) return Fail("no file name", 0);
  std::string target = path;
  struct stat st {};
  bool exists = false;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Write through a link to the file it names, as an in-place write would;
    // renaming over the link would cut it off from the file.
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
      target = resolved;
    } else if (errno != ENOENT) {
      return Fail("cannot follow the link", errno);
    }
  }
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return Fail("not a regular file", 0);
    // A file that nobody may write, or that this user may not, is read-only
    // as it is on Windows: renaming over it would get round that.
    if ((st.st_mode & 0222) == 0) return Fail("the file is read-only", 0);
    if (::access(target.c_str(), W_OK) != 0) return Fail("the file is read-only", errno);
    exists = true;
  } else if (errno != ENOENT) {
    return Fail("cannot reach the file", errno);
  }

  std::string folder, name;
  SplitPath(target, folder, name);
  if (name.empty()) return Fail("no file name", 0);

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    temp = folder + "/." + name + ".rk" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
    // Mode 0666 less the umask, as any newly created file gets.
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (raw < 0 && errno != EEXIST) break;
  }
  if (raw < 0) {
    const int error = errno;
    // The folder takes no new file; Windows writes in place, and so do we
    // when the file itself may be written.
    if (exists && (error == EACCES || error == EPERM || error == EROFS || error == ENOSPC ||
                   error == EDQUOT))
      return WriteInPlace(target, bytes);
    return Fail("the folder takes no new file", error);
  }
  Fd fd(raw);

  bool ok = WriteAll(fd.get(), bytes);
  int error = ok ? 0 : errno;
  if (ok && exists) {
    ok = ::fchmod(fd.get(), st.st_mode & 07777) == 0;
    // Keep the owner too when this process may (root editing a user's file);
    // failing that, the file is still the user's to read and write back.
    if (ok && ::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
    }
  }
  if (ok && ::fsync(fd.get()) != 0) {
    ok = false;
    error = errno;
  }
  if (!fd.Close() && ok) {
    ok = false;
    error = errno;
  }
  // The rename gives the name a new file: another hard link to the old one
  // keeps the old bytes (the client's files have no such second name).
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return Fail("cannot write the file", error);
  }
  // Make the rename itself durable; the new file is in place either way.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

}  // namespace rk::fileio
