#include "runs/probe_run.h"

#include "base/texts.h"

namespace rk {

TestRunController::TestRunController(ResultSink& sink, TestButtons& buttons, EchoService& echo,
                                     NameResolver& resolver, DiagnosticTimings timings)
    : sink_(sink), buttons_(buttons), echo_(echo), resolver_(resolver), timings_(timings) {
  SetOwnerWait(nullptr);
}

TestRunController::~TestRunController() {
  BeginClose();
  worker_.Join();
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

  if (m_nResultLines.load() > kMaxResultLines) ClearResultList();
  if (!ResolveTestTarget(selection, catalogue, resolver_, target_,
                         [this](std::string line) { AppendResultLine(std::move(line)); }))
    return false;

  ToggleTestState();
  stop_.store(false);
  answered_.store(false);
  if (!worker_.Start([this, kind] { RunWorker(kind); })) {
    // No thread: give the run back at once rather than leave the buttons dead.
    ToggleTestState();
    AppendResultLine(text::kWorkerNotStarted);
    return false;
  }
  return true;
}

void TestRunController::RunWorker(TestKind kind) {
  const WorkerContext context{target_, echo_, m_bTestRunning, stop_, timings_,
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
  if (m_bTestRunning.compare_exchange_strong(running, 0)) buttons_.SetTestButtonsEnabled(true);
}

void TestRunController::AppendResultLine(std::string line) {
  sink_.AppendLine(std::move(line));
  m_nResultLines.fetch_add(1);
}

void TestRunController::ClearResultList() {
  sink_.Clear();
  m_nResultLines.store(0);
}

void TestRunController::ToggleTestState() {
  int running = 1;
  if (m_bTestRunning.compare_exchange_strong(running, 0)) {
    buttons_.SetTestButtonsEnabled(true);
  } else {
    buttons_.SetTestButtonsEnabled(false);
    m_bTestRunning.store(1);
  }
}

bool TestRunController::WorkerFinishedFor(uint32_t ms) { return worker_.FinishedFor(ms); }

void TestRunController::BeginClose() {
  closed_ = true;
  m_bTestRunning.store(0);
  stop_.store(true);
}

void TestRunController::WaitForWorker(const OwnerWait& waitSlice) {
  worker_.WaitServing(waitSlice);
}

}  // namespace rk
