#include "runs/probe_run.h"

#include <system_error>

#include "base/texts.h"

namespace rk {

TestRunController::TestRunController(ResultSink& sink, TestButtons& buttons, EchoService& echo,
                                     NameResolver& resolver, DiagnosticTimings timings)
    : sink_(sink), buttons_(buttons), echo_(echo), resolver_(resolver), timings_(timings) {
  SetOwnerWait(nullptr);
}

TestRunController::~TestRunController() {
  BeginClose();
  JoinWorker();
}

void TestRunController::SetOwnerWait(OwnerWait wait) {
  ownerWait_ = wait ? std::move(wait) : OwnerWait([this] { (void)WorkerFinishedFor(kStopPollMs); });
}

bool TestRunController::StartTest(TestKind kind, const HostCatalogue& catalogue, int selection) {
  // One test at a time, even if a button slipped through; and no start from
  // inside the wait below, which would leave two starts racing for one worker.
  if (IsRunning() || starting_ || closed_) return false;
  starting_ = true;
  // The last run's worker may still be giving the buttons back, which can
  // need this very thread: wait through the owner's wait, never a bare join.
  WaitForWorker(ownerWait_);
  starting_ = false;
  if (closed_ || IsRunning()) return false;  // the wait let a close (or a start) through

  if (resultLines_.load() > kMaxResultLines) ClearResultList();
  if (!ResolveTestTarget(selection, catalogue, resolver_, target_,
                         [this](std::string line) { AppendResultLine(std::move(line)); }))
    return false;

  ToggleTestState();
  stop_.store(false);
  answered_.store(false);
  {
    std::lock_guard lock(doneMutex_);
    workerDone_ = false;
  }
  try {
    worker_ = std::thread([this, kind] { RunWorker(kind); });
  } catch (const std::system_error&) {
    // No thread: give the run back at once rather than leave the buttons dead.
    {
      std::lock_guard lock(doneMutex_);
      workerDone_ = true;
    }
    ToggleTestState();
    AppendResultLine(text::kWorkerNotStarted);
    return false;
  }
  return true;
}

void TestRunController::RunWorker(TestKind kind) {
  const WorkerContext context{target_, echo_, testRunning_, stop_, timings_,
                              [this](std::string line) { AppendResultLine(std::move(line)); },
                              answered_, [this](const TestStep& step) { sink_.AppendStep(step); }};
  switch (kind) {
    case TestKind::Ping: PingThreadProc(context); break;
    case TestKind::TraceRoute: TraceRouteThreadProc(context); break;
    case TestKind::Telnet: TelnetThreadProc(context); break;
  }
  // The run's end gives the buttons back only if the owner is not closing:
  // a close has already cleared the flag, and the window may be going away.
  int running = 1;
  if (testRunning_.compare_exchange_strong(running, 0)) buttons_.SetTestButtonsEnabled(true);
  {
    std::lock_guard lock(doneMutex_);
    workerDone_ = true;
  }
  doneCv_.notify_all();
}

void TestRunController::AppendResultLine(std::string line) {
  sink_.AppendLine(std::move(line));
  resultLines_.fetch_add(1);
}

void TestRunController::ClearResultList() {
  sink_.Clear();
  resultLines_.store(0);
}

void TestRunController::ToggleTestState() {
  int running = 1;
  if (testRunning_.compare_exchange_strong(running, 0)) {
    buttons_.SetTestButtonsEnabled(true);
  } else {
    buttons_.SetTestButtonsEnabled(false);
    testRunning_.store(1);
  }
}

bool TestRunController::WorkerFinishedFor(uint32_t ms) {
  std::unique_lock lock(doneMutex_);
  return doneCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return workerDone_; });
}

void TestRunController::BeginClose() {
  closed_ = true;
  testRunning_.store(0);
  stop_.store(true);
}

void TestRunController::WaitForWorker(const OwnerWait& waitSlice) {
  while (!WorkerFinishedFor(0)) waitSlice();
  JoinWorker();
}

void TestRunController::JoinWorker() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace rk
