#pragma once
// The check of every host as a run of the window. It keeps the test runs'
// rules by going through their controller: one run at a time (a test or this),
// the three test buttons disabled while it runs, a list of more than 500
// counted lines emptied at its start, Clear at any time, and the close step
// stopping it before the window goes.
#include <cstdint>
#include <functional>

#include "probes/stop_flag.h"
#include "runs/probe_run.h"
#include "runs/probe_target.h"
#include "runs/worker_thread.h"

namespace rk {

class CheckAllRun {
 public:
  // The run's work, on its own thread: writes its lines through `append` and
  // returns when done, or soon after `stop` is set.
  using Work = std::function<void(const LineWriter& append, const StopFlag& stop)>;

  explicit CheckAllRun(TestRunController& run) : run_(run) {}
  // Stops and joins a run still going (without serving a window: the owner
  // should have called Close).
  ~CheckAllRun();
  CheckAllRun(const CheckAllRun&) = delete;
  CheckAllRun& operator=(const CheckAllRun&) = delete;

  // Owner's thread. Starts `work` unless a test or a check runs or the close
  // step has begun; returns whether it started.
  bool Start(Work work);

  // Owner's thread, once, when closing: asks the work to stop and waits for
  // it, calling `waitSlice` between waits of at most kStopPollMs so that a
  // window keeps serving the messages the work sends it.
  template <typename Pump>
  void Close(Pump&& waitSlice) {
    closing_ = true;
    stop_.store(true);
    worker_.WaitServing(waitSlice, kStopPollMs);
  }

  // The last run's work has ended (or none started) within `ms`.
  [[nodiscard]] bool FinishedFor(uint32_t ms);

 private:
  TestRunController& run_;
  StopFlag stop_{false};
  bool closing_ = false;  // owner's thread only
  WorkerThread worker_;
};

}  // namespace rk
