#pragma once
// The watch's log: JSON Lines (docs/json.md), one record a line, UTF-8.
// * Every line is flushed as it is written and the file synced to disk at
//   most once a second (Tick syncs what a quiet second left unsynced): a
//   crash loses at most the line being written, a power cut the last second.
// * Past `rollBytes` the file becomes FILE.1 (an older FILE.1 is replaced)
//   and a new FILE starts with the header again.
// * The reader skips a line that does not parse (a torn last line) and reads
//   FILE.1 before FILE.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "runs/watch.h"

namespace rk {

inline constexpr int kWatchLogVersion = 1;

// What the header record holds besides the endpoints.
struct WatchLogHeader {
  WatchTime started;
  std::string clientRoot;  // UTF-8
  WatchOptions options;
  std::vector<EndpointSummary> endpoints;  // index, label, host, address, port
};

class WatchLogWriter {
 public:
  WatchLogWriter() = default;
  ~WatchLogWriter() { Close(); }
  WatchLogWriter(const WatchLogWriter&) = delete;
  WatchLogWriter& operator=(const WatchLogWriter&) = delete;

  // Opens `nativePath` for appending and writes the header. False, with the
  // system's reason in `error`, when it cannot be opened.
  bool Open(const std::string& nativePath, const WatchLogHeader& header, bool logSamples,
            uint64_t rollBytes, std::string* error);
  // The record of one event (samples: the failed ones unless logSamples).
  void Write(const WatchEvent& event);
  // The closing record (the watch's end); then Close.
  void WriteEnd(WatchTime end);
  // Syncs when something written has waited a second or more.
  void Tick();
  void Close();
  [[nodiscard]] bool isOpen() const { return file_ != nullptr; }

 private:
  void WriteLine(const std::string& line);
  std::string path_;
  WatchLogHeader header_;
  bool logSamples_ = false;
  uint64_t rollBytes_ = kWatchLogRollBytes;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  bool unsynced_ = false;
  std::chrono::steady_clock::time_point lastSync_{};
};

// One record of the log, as SummaryBuilder and the tests take it.
std::string LogRecordLine(const WatchEvent& event, const std::vector<EndpointSummary>& endpoints);

// The summary of the log at `nativePath` (FILE.1 first when it exists) over
// [from, to). False, with the reason, when neither file can be read or no
// header is found. `skipped` counts lines that did not parse.
bool SummarizeWatchLog(const std::string& nativePath, std::optional<WatchTime> from,
                       std::optional<WatchTime> to, WatchSummary& summary, std::string* error,
                       std::size_t* skipped = nullptr);

// "2026-12-07T13:00:00Z", "...:00.250Z", "2026-12-07T13:00" (UTC, seconds
// and the Z optional) as a time; nullopt when it is none of these.
[[nodiscard]] std::optional<WatchTime> ParseIsoUtc(const std::string& text);

// The platform's part: data written reaches the disk; `to` replaced by
// `from` (whether or not it exists).
namespace watch_files {
bool SyncToDisk(std::FILE* file);
bool MoveReplacing(const std::string& from, const std::string& to);
}  // namespace watch_files

}  // namespace rk
