#pragma once
// The one worker thread of a window's run (a test, the check of every host):
// started by the owner, waited for by the owner through its own wait slices,
// so that a worker asking the owner's thread for something is served.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace rk {

class WorkerThread {
 public:
  WorkerThread() = default;
  // Joins a worker still running: the owner should have waited for it first.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Owner's thread, with the last worker joined. Runs `body` on a new thread;
  // false, with nothing started, when the system gives no thread.
  [[nodiscard]] bool Start(std::function<void()> body);

  // The last body has returned (or none started) within `ms`.
  [[nodiscard]] bool FinishedFor(uint32_t ms);

  // Waits for the last body to return, calling `waitSlice` after each
  // unsuccessful look of up to `pollMs`, then joins its thread.
  template <typename Pump>
  void WaitServing(Pump&& waitSlice, uint32_t pollMs = 0) {
    while (!FinishedFor(pollMs)) waitSlice();
    Join();
  }

  void Join();

 private:
  void MarkDone(bool done);

  std::thread thread_;
  std::mutex doneMutex_;
  std::condition_variable doneCv_;
  bool done_ = true;  // guarded by doneMutex_
};

}  // namespace rk
