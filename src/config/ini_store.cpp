#include "config/ini_store.h"

#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "config/file_io.h"
#include "config/ini_document.h"

namespace rk {

struct IniProfileStore::Cache {
  struct Entry {
    fileio::FileIdentity identity;
    std::shared_ptr<const IniDocument> document;
  };
  struct Loaded {
    fileio::FileState state = fileio::FileState::Missing;
    std::shared_ptr<const IniDocument> document;  // state Regular only
  };
  // The program reads a handful of files; the bound only keeps a stray
  // caller from growing the map without end.
  static constexpr std::size_t kMaxEntries = 64;

  std::mutex mutex;
  std::unordered_map<std::string, Entry> entries;
  std::size_t loads = 0;
  std::size_t lookups = 0;
  int holdDepth = 0;
  std::unordered_map<std::string, fileio::FileState> held;  // states seen while held
  // While held, the file last asked for: a catalogue asks thousands of keys of one file in a
  // row, and comparing the path is cheaper than hashing it twice per key.
  std::string lastHeldPath;
  Loaded lastHeld;

  // The parsed file at path, read again only when its identity changed; while
  // states are held, a file already looked at is not looked at again.
  // Caller holds the mutex.
  Loaded Load(const std::string& path) {
    if (holdDepth > 0) {
      if (!lastHeldPath.empty() && path == lastHeldPath) return lastHeld;
      Loaded loaded = LoadHeld(path);
      lastHeldPath = path;
      lastHeld = loaded;
      return loaded;
    }
    return LoadUnheld(path);
  }

  Loaded LoadHeld(const std::string& path) {
    if (const auto it = held.find(path); it != held.end()) {
      if (it->second != fileio::FileState::Regular) return {it->second, nullptr};
      if (const auto entry = entries.find(path); entry != entries.end())
        return {fileio::FileState::Regular, entry->second.document};
    }
    Loaded loaded = LoadUnheld(path);
    held[path] = loaded.state;
    return loaded;
  }

  Loaded LoadUnheld(const std::string& path) {
    ++lookups;
    const fileio::FileSnapshot stat = fileio::StatFile(path);
    if (stat.state != fileio::FileState::Regular) {
      entries.erase(path);
      return {stat.state, nullptr};
    }
    if (const auto it = entries.find(path); it != entries.end() && it->second.identity == stat.identity)
      return {fileio::FileState::Regular, it->second.document};

    // A file larger than memory can hold reads as unreadable, not as a crash.
    fileio::FileSnapshot read;
    std::shared_ptr<const IniDocument> document;
    try {
      read = fileio::ReadRegularFile(path, kMaxFileBytes);
      if (read.state == fileio::FileState::Regular)
        document = std::make_shared<const IniDocument>(std::move(read.bytes));
    } catch (const std::bad_alloc&) {
      read.state = fileio::FileState::Unreadable;
    }
    if (read.state != fileio::FileState::Regular) {
      entries.erase(path);
      return {read.state, nullptr};
    }
    ++loads;
    if (entries.size() >= kMaxEntries && entries.find(path) == entries.end()) entries.clear();
    entries[path] = Entry{read.identity, document};
    return {fileio::FileState::Regular, document};
  }
};

IniProfileStore::IniProfileStore() : cache_(std::make_unique<Cache>()) {}
IniProfileStore::~IniProfileStore() = default;

std::size_t IniProfileStore::loads() const {
  std::lock_guard lock(cache_->mutex);
  return cache_->loads;
}

std::size_t IniProfileStore::lookups() const {
  std::lock_guard lock(cache_->mutex);
  return cache_->lookups;
}

std::string IniProfileStore::GetString(std::string_view section, std::string_view key,
                                       std::string_view fallback, std::size_t bufferSize,
                                       const std::string& path) {
  if (bufferSize == 0) return {};
  std::optional<std::string> value;
  {
    std::lock_guard lock(cache_->mutex);
    const Cache::Loaded loaded = cache_->Load(path);
    if (loaded.document) value = loaded.document->FindThroughBuffer(section, key, bufferSize);
  }
  std::string out;
  if (value) {
    out = std::move(*value);
  } else {
    // The system's reader drops trailing blanks of the default text.
    std::size_t end = fallback.size();
    while (end > 0 && fallback[end - 1] == ' ') --end;
    out = std::string(fallback.substr(0, end));
    if (out.size() > bufferSize - 1) out.resize(bufferSize - 1);
  }
  // The caller gets a C text: a NUL byte in the file ends it.
  if (const std::size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
  return out;
}

int IniProfileStore::GetInt(std::string_view section, std::string_view key, int fallback,
                            const std::string& path) {
  // The system reads the number as text through a buffer of 30 characters,
  // so digits past the 29th are never seen.
  constexpr std::size_t kIntBufferSize = 30;
  std::optional<std::string> value;
  {
    std::lock_guard lock(cache_->mutex);
    const Cache::Loaded loaded = cache_->Load(path);
    if (loaded.document) value = loaded.document->FindThroughBuffer(section, key, kIntBufferSize);
  }
  if (!value) return fallback;
  if (const std::size_t nul = value->find('\0'); nul != std::string::npos) value->resize(nul);
  // A key that is there but empty reads as the default, as with the system's
  // reader (which cannot tell it from a missing key).
  if (value->empty()) return fallback;
  return ParseProfileInt(*value);
}

namespace {
thread_local std::string g_storeWriteFailure;
bool StoreFail(std::string reason) {
  g_storeWriteFailure = std::move(reason);
  return false;
}
}  // namespace

std::string IniProfileStore::LastWriteFailure() const { return g_storeWriteFailure; }

void IniProfileStore::HoldFileStates(bool hold) {
  std::lock_guard lock(cache_->mutex);
  cache_->holdDepth += hold ? 1 : -1;
  if (cache_->holdDepth <= 0) {
    cache_->holdDepth = 0;
    cache_->held.clear();
    cache_->lastHeldPath.clear();
    cache_->lastHeld = {};
  }
}

bool IniProfileStore::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value, const std::string& path) {
  g_storeWriteFailure.clear();
  if (!IniDocument::IsWritableName(section, key)) return StoreFail("name cannot be stored");
  std::lock_guard lock(cache_->mutex);
  // Edit what the file holds now, not what the cache last saw: a write is
  // rare, and an edit of stale bytes would undo another program's change.
  fileio::FileSnapshot current = fileio::ReadRegularFile(path, kMaxFileBytes);
  std::optional<std::string> updated;
  if (current.state == fileio::FileState::Missing) {
    updated = IniDocument(std::string()).WithValue(section, key, value);
  } else if (current.state == fileio::FileState::Regular) {
    const IniDocument document(std::move(current.bytes));
    updated = document.WithValue(section, key, value);
    if (updated && *updated == document.bytes()) return true;  // already so
  } else {
    // There but not read (a folder, too large, unreadable): writing a fresh
    // file over it would lose whatever it holds.
    return StoreFail(current.state == fileio::FileState::NotRegular ? "not a regular file"
                                                                     : "cannot read the file");
  }
  if (!updated) return StoreFail("the text has no exact form in the file's encoding");
  const bool ok = fileio::ReplaceWholeFile(path, *updated);
  cache_->entries.erase(path);
  cache_->held.erase(path);
  if (cache_->lastHeldPath == path) {
    cache_->lastHeldPath.clear();
    cache_->lastHeld = {};
  }
  if (!ok) return StoreFail(fileio::LastWriteFailure());
  return true;
}

}  // namespace rk
