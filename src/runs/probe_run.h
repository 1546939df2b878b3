#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "config/host_catalogue.h"
#include "probes/icmp_echo.h"
#include "probes/net_address.h"
#include "probes/stop_flag.h"
#include "probes/tcp_connect.h"
#include "runs/probe_target.h"
#include "runs/worker_thread.h"

namespace rk {

// One probe of a test, for callers that want its findings as data as well
// as lines: an echo of Ping, a router of TraceRT, a port of Telnet. A probe
// cut short by a stop request is not reported.
struct TestStep {
  int sequence = 0;           // Ping: icmp_seq; TraceRT: the TTL; Telnet: index in the port list
  int32_t port = 0;           // Telnet: the port tried
  bool answered = false;      // an echo reply, a router's or the target's answer, a connection
  uint32_t errorCode = 0;     // the echo's status when nothing answered
  uint32_t replyAddress = 0;  // who answered, network byte order; 0 for none
  uint32_t ms = 0;            // round trip of an answered echo
};

// Where result lines go: the window's list box, the CLI's stdout, a vector in
// tests. AppendLine may be called from a worker thread and returns only once
// the line has been taken. AppendStep comes from the worker too, just before
// the line of the same probe; the window has no use for it.
class ResultSink {
 public:
  virtual ~ResultSink() = default;
  virtual void AppendLine(std::string line) = 0;
  virtual void Clear() = 0;
  virtual void AppendStep(const TestStep& /*step*/) {}
};

// The three test buttons (Ping, TraceRT, Telnet), enabled or disabled
// together, in that order. Called from the window's thread at a start and
// from the worker at its end.
class TestButtons {
 public:
  virtual ~TestButtons() = default;
  virtual void SetTestButtonsEnabled(bool enabled) = 0;
};

enum class TestKind { Ping, TraceRoute, Telnet };

// The product's waits; tests shorten them.
struct DiagnosticTimings {
  uint32_t echoTimeoutMs = kEchoTimeoutMs;
  uint32_t pingPauseMs = 1000;
  uint32_t connectTimeoutMs = kConnectTimeoutMs;
};

inline constexpr int kMaxResultLines = 500;  // more than this empties the list at the next start
inline constexpr int kPingCount = 5;
inline constexpr int kMaxRouters = 30;

// What a worker reads and where it writes. The target does not change while
// the worker runs.
struct WorkerContext {
  const TestTarget& target;
  EchoService& echo;
  const std::atomic<int>& testRunning;  // cleared when the owner closes
  const StopFlag& stop;                 // set when the owner closes
  const DiagnosticTimings& timings;
  LineWriter appendLine;
  // Set when the target answered: an echo reply, the trace's arrival, a
  // connected port. Never cleared by a worker.
  std::atomic<bool>& answered;
  std::function<void(const TestStep&)> appendStep;
};

// The three workers, without the run-state switch that ends each run.
void PingThreadProc(const WorkerContext& context);
void TraceRouteThreadProc(const WorkerContext& context);
void TelnetThreadProc(const WorkerContext& context);

// One test at a time: the run state, the line counter and the worker thread.
// * Start, Clear and the close step are called on the owner's thread.
// * The owner must call CloseStep (or let the destructor run) before the sink,
//   the buttons or the echo service go away: it stops and joins the worker.
// * Every wait of the owner's thread for a worker goes through the owner's
//   wait (SetOwnerWait), so a worker that needs the owner's thread for its
//   last line or for giving the buttons back is served while it is waited for.
class TestRunController {
 public:
  TestRunController(ResultSink& sink, TestButtons& buttons, EchoService& echo,
                    NameResolver& resolver, DiagnosticTimings timings = {});
  ~TestRunController();
  TestRunController(const TestRunController&) = delete;
  TestRunController& operator=(const TestRunController&) = delete;

  // One slice of the owner's wait for a worker: called again and again until
  // the worker has ended. It returns within about kStopPollMs and meanwhile
  // serves what a worker may ask of the owner's thread (a window: the
  // messages sent to it). It may re-enter this controller: a start made from
  // inside it is refused. The default sleeps on the worker's end.
  using OwnerWait = std::function<void()>;
  void SetOwnerWait(OwnerWait wait);

  // OnBnClickedPing / TraceRt / Telnet: empties a list of more than 500 lines,
  // resolves `selection` of `catalogue`, and starts the worker. Returns
  // whether a worker started; false also while a test runs, while a start is
  // under way, and once the close step has begun.
  bool StartTest(TestKind kind, const HostCatalogue& catalogue, int selection);

  // Adds a line at the end and counts it. Any thread.
  void AppendResultLine(std::string line);
  // Empties the list and the count, whether or not a test runs.
  void ClearResultList();
  // Idle -> running (buttons off) or running -> idle (buttons on).
  void ToggleTestState();

  // The owner is closing: clears the run flag (Ping ends after its pass with
  // "End "), asks every wait to end, and waits for the worker through
  // `waitSlice` (same contract as the owner's wait) or the owner's wait.
  template <typename Pump>
  void CloseStep(Pump&& waitSlice) {
    BeginClose();
    WaitForWorker(waitSlice);
  }
  void CloseStep() {
    BeginClose();
    WaitForWorker(ownerWait_);
  }

  [[nodiscard]] bool IsRunning() const { return m_bTestRunning.load() != 0; }
  [[nodiscard]] int ResultLines() const { return m_nResultLines.load(); }
  // Whether the target answered during the current or last run.
  [[nodiscard]] bool TargetAnswered() const { return answered_.load(); }
  [[nodiscard]] const TestTarget& target() const { return target_; }
  // The worker of the current or last run has ended (or none was started).
  [[nodiscard]] bool WorkerFinishedFor(uint32_t ms);

 private:
  void BeginClose();
  // Returns once the worker of the last run, if any, has ended and been joined.
  void WaitForWorker(const OwnerWait& waitSlice);
  void RunWorker(TestKind kind);

  ResultSink& sink_;
  TestButtons& buttons_;
  EchoService& echo_;
  NameResolver& resolver_;
  DiagnosticTimings timings_;
  TestTarget target_;

  OwnerWait ownerWait_;
  bool starting_ = false;  // owner's thread only: a start is waiting for the last worker
  bool closed_ = false;    // owner's thread only: the close step has begun
  std::atomic<int> m_bTestRunning{0};
  std::atomic<int> m_nResultLines{0};
  std::atomic<bool> answered_{false};
  StopFlag stop_{false};
  WorkerThread worker_;
};

}  // namespace rk
