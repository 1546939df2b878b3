#include "runs/check_all_run.h"

#include <system_error>

#include "base/texts.h"

namespace rk {

CheckAllRun::~CheckAllRun() {
  stop_.store(true);
  Join();
}

bool CheckAllRun::Start(Work work) {
  if (closing_ || run_.IsRunning() || !FinishedFor(0)) return false;
  Join();  // the last check's worker has already given the buttons back

  if (run_.ResultLines() > kMaxResultLines) run_.ClearResultList();
  run_.ToggleTestState();  // idle -> running: the test buttons go off
  stop_.store(false);
  {
    std::lock_guard lock(doneMutex_);
    done_ = false;
  }
  try {
    worker_ = std::thread([this, work = std::move(work)] {
      work([this](std::string line) { run_.AppendResultLine(std::move(line)); }, stop_);
      // A close has stopped the run and may be taking the window down: the
      // buttons stay as they are then.
      if (!stop_.load()) run_.ToggleTestState();
      {
        std::lock_guard lock(doneMutex_);
        done_ = true;
      }
      doneCv_.notify_all();
    });
  } catch (const std::system_error&) {
    {
      std::lock_guard lock(doneMutex_);
      done_ = true;
    }
    run_.ToggleTestState();
    run_.AppendResultLine(text::kWorkerNotStarted);
    return false;
  }
  return true;
}

bool CheckAllRun::FinishedFor(uint32_t ms) {
  std::unique_lock lock(doneMutex_);
  return doneCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
}

void CheckAllRun::Join() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace rk
