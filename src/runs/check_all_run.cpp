#include "runs/check_all_run.h"

#include "base/texts.h"

namespace rk {

CheckAllRun::~CheckAllRun() {
  stop_.store(true);
  worker_.Join();
}

bool CheckAllRun::Start(Work work) {
  if (closing_ || run_.IsRunning() || !worker_.FinishedFor(0)) return false;
  worker_.Join();  // the last check's worker has already given the buttons back

  if (run_.ResultLines() > kMaxResultLines) run_.ClearResultList();
  run_.ToggleTestState();  // idle -> running: the test buttons go off
  stop_.store(false);
  const bool started = worker_.Start([this, work = std::move(work)] {
    work([this](std::string line) { run_.AppendResultLine(std::move(line)); }, stop_);
    // A close has stopped the run and may be taking the window down: the
    // buttons stay as they are then.
    if (!stop_.load()) run_.ToggleTestState();
  });
  if (!started) {
    run_.ToggleTestState();
    run_.AppendResultLine(text::kWorkerNotStarted);
    return false;
  }
  return true;
}

bool CheckAllRun::FinishedFor(uint32_t ms) { return worker_.FinishedFor(ms); }

}  // namespace rk
