#include "runs/probe_run.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <future>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base/codepage.h"
#include "base/texts.h"
#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Lines = std::vector<std::string>;
using testing::Ip;
using namespace std::chrono_literals;

// The list box and the buttons; the test reads them only once the worker has ended.
struct FakeWindow final : public ResultSink, public TestButtons {
  void AppendLine(std::string line) override { lines.push_back(line); }
  void Clear() override { lines.clear(); }
  void SetTestButtonsEnabled(bool on) override { buttons.push_back(on); }
  Lines lines;
  std::vector<bool> buttons;
};

struct EchoStep { int returnValue = 1; uint32_t errorCode = 0, replyAddress = 0, roundTripMs = 0; };
struct EchoCall { uint32_t destination; int ttl; uint32_t timeoutMs; int dataSize, noOptions; };

// Answers echoes from `script`, then times out; `beforeAnswer` sees each call's index first.
struct ScriptedEcho final : public EchoService {
  bool Initialize() override { return true; }
  int SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs, int dataSize,
               int noOptions, const StopFlag*) override {
    calls.push_back({destination, ttl, timeoutMs, dataSize, noOptions});
    EchoStep step{1, kIpReqTimedOut};
    if (!script.empty()) step = script.front(), script.pop_front();
    if (beforeAnswer) beforeAnswer(calls.size() - 1);
    if (step.returnValue != 1) return step.returnValue;
    if (step.errorCode != 0) result.errorCode = step.errorCode;
    else result.replyAddress = step.replyAddress, result.roundTripMs = step.roundTripMs;
    return 1;
  }
  std::deque<EchoStep> script;
  std::vector<EchoCall> calls;
  std::function<void(std::size_t)> beforeAnswer;
};

HostCatalogue OneHost(const std::string& host, std::vector<int32_t> ports = {}) {
  return {{host}, {"x"}, std::move(ports), {}, 1};
}

class RunTest : public ::testing::Test {
 protected:
  Lines RunToEnd(TestKind kind, const HostCatalogue& catalogue) {
    controller_.ClearResultList();
    EXPECT_TRUE(controller_.StartTest(kind, catalogue, 0));
    EXPECT_TRUE(controller_.WorkerFinishedFor(20000));
    return window_.lines;
  }
  // Holds echo call `index` until the close step's pump runs: the window closes mid-pass.
  void HoldCallUntilClose(std::size_t index) {
    echo_.beforeAnswer = [this, index](std::size_t call) {
      if (call == index) reached_.set_value();
      for (int i = 0; call == index && i < 1000 && !closing_; ++i) std::this_thread::sleep_for(5ms);
    };
  }

  FakeWindow window_;
  ScriptedEcho echo_;
  testing::FakeResolver resolver_;
  TestRunController controller_{window_, window_, echo_, resolver_,
                                {.pingPauseMs = 0, .connectTimeoutMs = 1500}};
  std::promise<void> reached_;
  std::atomic<bool> closing_{false};
};

TEST_F(RunTest, PingWritesHeaderFiveEchoLinesAndEndOrTheNoHandleLine) {
  const uint32_t target = Ip(198, 51, 100, 20);
  resolver_.Answer("quotes.invalid", target);
  // A router's answer still names the target; a lost echo shows its status, never a time.
  echo_.script = {{1, 0, target, 9}, {1, 11010}, {1, 0, Ip(203, 0, 113, 1), 4}, {1, 11003},
                  {1, 0, target, 0}};
  EXPECT_EQ(RunToEnd(TestKind::Ping, OneHost("quotes.invalid")),
            (Lines{"Ping quotes.invalid [198.51.100.20]",
                   "32 bytes from 198.51.100.20: icmp_seq = 0. time: 9 ms",
                   "No reply from 198.51.100.20: icmp_seq = 1. Err=11010",
                   "32 bytes from 198.51.100.20: icmp_seq = 2. time: 4 ms",
                   "No reply from 198.51.100.20: icmp_seq = 3. Err=11003",
                   "32 bytes from 198.51.100.20: icmp_seq = 4. time: 0 ms", "End "}));
  for (const EchoCall& c : echo_.calls)  // Ping sends without IP options
    EXPECT_EQ(std::tuple(c.destination, c.timeoutMs, c.dataSize, c.noOptions != 0),
              std::tuple(target, 3000u, 32, true));
  EXPECT_EQ(window_.buttons, (std::vector<bool>{false, true}));
  EXPECT_EQ(controller_.ResultLines(), 7);
  echo_.script = {{0}};  // no ICMP handle
  EXPECT_EQ(RunToEnd(TestKind::Ping, OneHost("192.0.2.1")),
            (Lines{"Ping 192.0.2.1 [192.0.2.1]", text::kNoIcmpHandle}));
}

TEST_F(RunTest, TraceGoesOnPastTimeOutsAndStopsAtTheTargetOrAfterThirtyRouters) {
  echo_.script = {{1, 0, Ip(198, 51, 100, 1), 1}, {1, 11010}, {1, 0, Ip(192, 0, 2, 1), 23}};
  EXPECT_EQ(RunToEnd(TestKind::TraceRoute, OneHost("192.0.2.1")),
            (Lines{"TraceRT 192.0.2.1 [192.0.2.1]",
                   Utf8ToCp950("第1個路由器，IP地址：198.51.100.1用時：1毫秒"),
                   Utf8ToCp950("第2個路由器，要求等候逾時 Err=11010"),
                   Utf8ToCp950("第3個路由器，IP地址：192.0.2.1用時：23毫秒"), text::kTargetReached}));
  int ttl = 0;  // growing, and sent with options so that it travels
  for (const EchoCall& c : echo_.calls)
    EXPECT_EQ(std::pair(c.ttl, c.noOptions), std::pair(++ttl, 0));
  // Never reached: a router's unreachable report is an answer but ends nothing.
  echo_.script.assign(15, EchoStep{1, 0, Ip(203, 0, 113, 1), 2});
  const Lines lines = RunToEnd(TestKind::TraceRoute, OneHost("192.0.2.1"));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[15], Utf8ToCp950("第15個路由器，IP地址：203.0.113.1用時：2毫秒"));
  EXPECT_EQ(lines[30], Utf8ToCp950("第30個路由器，要求等候逾時 Err=11010"));
  EXPECT_EQ(lines[31], text::kTargetNotReached);
  EXPECT_EQ(echo_.calls.back().ttl, 30);
}

TEST_F(RunTest, TelnetStopsAtTheFirstPortThatConnects) {
  testing::LoopbackListener open, alsoOpen;
  const std::string closed = std::to_string(testing::ClosedLoopbackPort());
  const int32_t wide = open.port() + 65536;  // printed as stored, connects on its low 16 bits
  const HostCatalogue host = OneHost("127.0.0.1", {std::stoi(closed), wide, alsoOpen.port()});
  EXPECT_EQ(RunToEnd(TestKind::Telnet, host),
            (Lines{"Telnet 127.0.0.1 [127.0.0.1]", Utf8ToCp950("連線失敗，127.0.0.1：" + closed),
                   Utf8ToCp950("連線成功，127.0.0.1：" + std::to_string(wide))}));
  EXPECT_EQ(RunToEnd(TestKind::Telnet, OneHost("127.0.0.1")),
            (Lines{"Telnet 127.0.0.1 [127.0.0.1]"}));
}

TEST_F(RunTest, ListIsEmptiedOnlyPastFiveHundredLines) {
  for (int i = 0; i < 499; ++i) controller_.AppendResultLine("old");
  // A resolution failure is a line too: 500 now, which stays; so does 501.
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, HostCatalogue{}, -1));
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, HostCatalogue{}, -1));
  EXPECT_EQ(controller_.ResultLines(), 501);
  EXPECT_EQ(window_.lines.size(), 501u);
  // Past 500: the next start empties the list first.
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, HostCatalogue{}, -1));
  EXPECT_EQ(window_.lines, (Lines{text::kNoSelection}));
  EXPECT_EQ(controller_.ResultLines(), 1);
  EXPECT_TRUE(window_.buttons.empty()) << "failures never touch the run state";
}

TEST_F(RunTest, ClosingInPingsThirdPassEndsItThereWithoutTouchingTheButtons) {
  TestRunController slow(window_, window_, echo_, resolver_, {.pingPauseMs = 2000});
  echo_.script.assign(5, EchoStep{1, 0, Ip(192, 0, 2, 1), 2});
  HoldCallUntilClose(2);
  ASSERT_TRUE(slow.StartTest(TestKind::Ping, OneHost("192.0.2.1"), 0));
  ASSERT_EQ(reached_.get_future().wait_for(std::chrono::seconds(15)), std::future_status::ready);
  const auto start = std::chrono::steady_clock::now();
  slow.CloseStep([&] { closing_ = true; });  // the pump runs while the window waits
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500))
      << "the 2 s pause after the pass was cut short";
  EXPECT_EQ(window_.lines, (Lines{"Ping 192.0.2.1 [192.0.2.1]",
                                    "32 bytes from 192.0.2.1: icmp_seq = 0. time: 2 ms",
                                    "32 bytes from 192.0.2.1: icmp_seq = 1. time: 2 ms",
                                    "32 bytes from 192.0.2.1: icmp_seq = 2. time: 2 ms", "End "}));
  EXPECT_EQ(echo_.calls.size(), 3u);
  EXPECT_EQ(window_.buttons, (std::vector<bool>{false}));
}

TEST_F(RunTest, OneTestAtATimeAndClosingDuringATraceSendsNoFurtherProbe) {
  HoldCallUntilClose(1);
  ASSERT_TRUE(controller_.StartTest(TestKind::TraceRoute, OneHost("192.0.2.1"), 0));
  reached_.get_future().wait_for(std::chrono::seconds(10));
  EXPECT_TRUE(controller_.IsRunning());
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, OneHost("192.0.2.1"), 0));
  controller_.CloseStep([&] { closing_ = true; });
  // The probe in flight was cut short: no line for it, and no third probe.
  EXPECT_EQ(echo_.calls.size(), 2u);
  EXPECT_EQ(window_.lines, (Lines{"TraceRT 192.0.2.1 [192.0.2.1]",
                                    Utf8ToCp950("第1個路由器，要求等候逾時 Err=11010")}));
}

TEST_F(RunTest, ManyRunsLeaveNoHandleOpen) {
  const auto runOnce = [this] {
    echo_.script = {{1, 0, Ip(192, 0, 2, 1), 1}};
    ASSERT_TRUE(controller_.StartTest(TestKind::TraceRoute, OneHost("192.0.2.1"), 0));
    ASSERT_TRUE(controller_.WorkerFinishedFor(10000));
  };
  for (int i = 0; i < 20; ++i) runOnce();  // let the runtime settle its own handles
  const int before = testing::OpenHandleCount();
  for (int i = 0; i < 250; ++i) runOnce();
  controller_.CloseStep();
  EXPECT_LE(testing::OpenHandleCount(), before + 2);
}

// Buttons changed only on the owner's thread, as a window's: a worker's change waits (up to 5 s)
// for the owner's wait to serve it; a wait that serves nothing leaves the worker stuck.
struct ThreadBoundButtons final : public TestButtons {
  void SetTestButtonsEnabled(bool on) override {
    if (std::this_thread::get_id() == owner) return changes.push_back(on);
    std::unique_lock lock(mutex);
    pending = on ? 1 : 0;
    if (!served.wait_for(lock, 5s, [this] { return pending < 0; })) ++stuckWorkers, pending = -1;
  }
  void Serve() {  // the owner's wait: one slice, answering a handed-over change
    std::unique_lock lock(mutex);
    served.wait_for(lock, 2ms, [this] { return pending >= 0; });
    if (pending >= 0) changes.push_back(pending == 1), pending = -1, served.notify_all();
  }
  std::thread::id owner = std::this_thread::get_id();
  std::mutex mutex;
  std::condition_variable served;
  int pending = -1;  // guarded by mutex
  std::vector<bool> changes;
  std::atomic<int> stuckWorkers{0};
};

TEST_F(RunTest, StartsRightAfterARunEndServeTheWorkerAndNeverOverlap) {
  ThreadBoundButtons buttons;
  TestRunController run(window_, buttons, echo_, resolver_);
  int waits = 0;
  run.SetOwnerWait([&] { ++waits, buttons.Serve(); });
  const HostCatalogue target = OneHost("192.0.2.1");  // every probe times out at once
  int started = 0;
  // Each start comes as the last run ends, its worker maybe still handing the buttons back.
  const auto runEnds = [&] {
    while (run.IsRunning()) std::this_thread::yield();
  };
  for (int i = 0; i < 200 && buttons.stuckWorkers == 0; ++i) {
    runEnds();
    started += run.StartTest(TestKind::TraceRoute, target, 0) ? 1 : 0;
  }
  runEnds();
  run.CloseStep();  // serves the last run's giving back
  EXPECT_EQ(buttons.stuckWorkers.load(), 0) << "a start waited for a worker without serving it";
  EXPECT_EQ(started, 200);
  EXPECT_GT(waits, 0) << "no start ever had to wait: the race was not exercised";
  // Strictly off, on, off, on...: never two runs at once.
  ASSERT_EQ(buttons.changes.size(), 400u);
  for (std::size_t i = 0; i < buttons.changes.size(); ++i)
    ASSERT_EQ(buttons.changes[i], i % 2 == 1) << i;
}

// Gives the buttons back slowly, so a start right after a run's end waits.
struct SlowToGiveBack final : public TestButtons {
  void SetTestButtonsEnabled(bool on) override {
    if (on) std::this_thread::sleep_for(50ms);
  }
};

TEST_F(RunTest, WhileAStartWaitsNoOtherStartGetsInAndACloseStopsIt) {
  SlowToGiveBack buttons;
  TestRunController run(window_, buttons, echo_, resolver_);
  const HostCatalogue target = OneHost("192.0.2.1");
  const auto runEnds = [&] {
    while (run.IsRunning()) std::this_thread::sleep_for(1ms);
  };
  int waits = 0, innerStarts = 0;
  bool closeWhileWaiting = false;
  run.SetOwnerWait([&] {  // what a window's message pump may run meanwhile
    ++waits;
    innerStarts += run.StartTest(TestKind::Ping, target, 0) ? 1 : 0;
    if (std::exchange(closeWhileWaiting, false)) run.CloseStep();
    (void)run.WorkerFinishedFor(5);
  });
  ASSERT_TRUE(run.StartTest(TestKind::TraceRoute, target, 0));
  runEnds();
  EXPECT_TRUE(run.StartTest(TestKind::TraceRoute, target, 0));
  EXPECT_GT(waits, 0);
  runEnds();
  closeWhileWaiting = true;
  EXPECT_FALSE(run.StartTest(TestKind::TraceRoute, target, 0)) << "the close came first";
  EXPECT_FALSE(closeWhileWaiting) << "the start did not wait at all";
  EXPECT_FALSE(run.StartTest(TestKind::TraceRoute, target, 0)) << "closed for good";
  EXPECT_EQ(innerStarts, 0) << "a start from inside a start's wait";
}

}  // namespace
}  // namespace rk
