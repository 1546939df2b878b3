#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

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

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
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
      return false;
    }
  }
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    // A file that nobody may write, or that this user may not, is read-only
    // as it is on Windows: renaming over it would get round that.
    if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
    exists = true;
  } else if (errno != ENOENT) {
    return false;
  }

  std::string folder, name;
  SplitPath(target, folder, name);
  if (name.empty()) return false;

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    temp = folder + "/." + name + ".rk" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
    // Mode 0666 less the umask, as any newly created file gets.
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (raw < 0 && errno != EEXIST) return false;
  }
  if (raw < 0) return false;
  Fd fd(raw);

  bool ok = WriteAll(fd.get(), bytes);
  if (ok && exists) {
    ok = ::fchmod(fd.get(), st.st_mode & 07777) == 0;
    // Keep the owner too when this process may (root editing a user's file);
    // failing that, the file is still the user's to read and write back.
    if (ok && ::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
    }
  }
  ok = ok && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  // The rename gives the name a new file: another hard link to the old one
  // keeps the old bytes (the client's files have no such second name).
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; the new file is in place either way.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

}  // namespace rk::fileio
