#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "base/codepage.h"
#include "base/texts.h"
#include "diagnostics/test_run.h"
#include "run_fakes.h"
#include "support/os_probe.h"
#include "support/test_support.h"

namespace rk {
namespace {

using Lines = std::vector<std::string>;
using testing::EchoStep;
using testing::Ip;

HostCatalogue OneHost(const std::string& host, std::vector<int32_t> ports = {}) {
  HostCatalogue catalogue;
  catalogue.hostTexts = {host};
  catalogue.labels = {"x"};
  catalogue.nmPorts = std::move(ports);
  catalogue.serverSectionCount = 1;
  return catalogue;
}

class RunTest : public ::testing::Test {
 protected:
  // Runs one test to its end (bounded) and returns its lines.
  Lines RunToEnd(TestKind kind, const HostCatalogue& catalogue) {
    EXPECT_TRUE(controller_.StartTest(kind, catalogue, 0));
    EXPECT_TRUE(controller_.WorkerFinishedFor(20000));
    return sink_.lines();
  }
  static DiagnosticTimings Quick() {
    DiagnosticTimings timings;
    timings.pingPauseMs = 0;
    timings.connectTimeoutMs = 1500;
    return timings;
  }

  testing::VectorSink sink_;
  testing::RecordingButtons buttons_;
  testing::ScriptedEcho echo_;
  testing::FakeResolver resolver_;
  TestRunController controller_{sink_, buttons_, echo_, resolver_, Quick()};
};

TEST_F(RunTest, PingWritesHeaderFiveEchoesAndEnd) {
  echo_.Script({{1, 0, Ip(192, 0, 2, 1), 7}, {1, 0, Ip(192, 0, 2, 1), 0}, {1, 0, Ip(192, 0, 2, 1), 12},
                {1, 0, Ip(192, 0, 2, 1), 3}, {1, 0, Ip(192, 0, 2, 1), 1}});
  const Lines lines = RunToEnd(TestKind::Ping, OneHost("192.0.2.1"));
  EXPECT_EQ(lines, (Lines{"Ping 192.0.2.1 [192.0.2.1]",
                          "32 bytes from 192.0.2.1: icmp_seq = 0. time: 7 ms",
                          "32 bytes from 192.0.2.1: icmp_seq = 1. time: 0 ms",
                          "32 bytes from 192.0.2.1: icmp_seq = 2. time: 12 ms",
                          "32 bytes from 192.0.2.1: icmp_seq = 3. time: 3 ms",
                          "32 bytes from 192.0.2.1: icmp_seq = 4. time: 1 ms", "End "}));
  for (const testing::EchoCall& call : echo_.calls()) {
    EXPECT_EQ(call.destination, Ip(192, 0, 2, 1));
    EXPECT_EQ(call.timeoutMs, 3000u);
    EXPECT_EQ(call.dataSize, 32);
    EXPECT_NE(call.noOptions, 0);  // Ping sends without IP options
  }
  EXPECT_EQ(buttons_.calls(), (std::vector<bool>{false, true}));
  EXPECT_FALSE(controller_.IsRunning());
  EXPECT_EQ(controller_.ResultLines(), 7);
}

TEST_F(RunTest, PingLinesOfLostEchoesShowTheStatusNeverAStaleTime) {
  resolver_.Answer("quotes.invalid", Ip(198, 51, 100, 20));
  echo_.Script({{1, 0, Ip(198, 51, 100, 20), 9}, {1, 11010, 0, 0}, {1, 0, Ip(203, 0, 113, 1), 4},
                {1, 11003, 0, 0}, {1, 0, Ip(198, 51, 100, 20), 5}});
  const Lines lines = RunToEnd(TestKind::Ping, OneHost("quotes.invalid"));
  // The header names the host; every echo line names the target's address,
  // even when a router answered.
  EXPECT_EQ(lines, (Lines{"Ping quotes.invalid [198.51.100.20]",
                          "32 bytes from 198.51.100.20: icmp_seq = 0. time: 9 ms",
                          "No reply from 198.51.100.20: icmp_seq = 1. Err=11010",
                          "32 bytes from 198.51.100.20: icmp_seq = 2. time: 4 ms",
                          "No reply from 198.51.100.20: icmp_seq = 3. Err=11003",
                          "32 bytes from 198.51.100.20: icmp_seq = 4. time: 5 ms", "End "}));
}

TEST_F(RunTest, MissingIcmpHandleReplacesTheEndLine) {
  echo_.Script({{0}});
  EXPECT_EQ(RunToEnd(TestKind::Ping, OneHost("192.0.2.1")),
            (Lines{"Ping 192.0.2.1 [192.0.2.1]", text::kNoIcmpHandle}));

  sink_.Clear();
  echo_.Script({{1, 0, Ip(198, 51, 100, 1), 1}, {1, 0, Ip(198, 51, 100, 2), 1},
                {1, 11010, 0, 0}, {1, 0, Ip(198, 51, 100, 4), 1}, {0}});
  const Lines trace = RunToEnd(TestKind::TraceRoute, OneHost("192.0.2.1"));
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace.back(), text::kNoIcmpHandle);
  for (const std::string& line : trace) EXPECT_NE(line, text::kTargetReached);
}

TEST_F(RunTest, TraceStopsAtTheTargetsOwnAnswer) {
  echo_.Script({{1, 0, Ip(198, 51, 100, 1), 1}, {1, 11010, 0, 0}, {1, 0, Ip(192, 0, 2, 1), 23}});
  const Lines lines = RunToEnd(TestKind::TraceRoute, OneHost("192.0.2.1"));
  EXPECT_EQ(lines, (Lines{"TraceRT 192.0.2.1 [192.0.2.1]",
                          Utf8ToCp950("第1個路由器，IP地址：198.51.100.1用時：1毫秒"),
                          Utf8ToCp950("第2個路由器，要求等候逾時 Err=11010"),
                          Utf8ToCp950("第3個路由器，IP地址：192.0.2.1用時：23毫秒"),
                          Utf8ToCp950("目標到達")}));
  const std::vector<testing::EchoCall> calls = echo_.calls();
  ASSERT_EQ(calls.size(), 3u);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].ttl, static_cast<int>(i) + 1);
    EXPECT_EQ(calls[i].noOptions, 0);  // the time-to-live must travel
  }
}

TEST_F(RunTest, TraceThatNeverReachesTheTargetSaysSoAfterThirtyRouters) {
  // A router's unreachable report is an answer but does not end the trace.
  std::vector<EchoStep> steps(15, EchoStep{1, 0, Ip(203, 0, 113, 1), 2});
  echo_.Script(steps);
  const Lines lines = RunToEnd(TestKind::TraceRoute, OneHost("192.0.2.1"));
  ASSERT_EQ(lines.size(), 32u);
  EXPECT_EQ(lines[15], Utf8ToCp950("第15個路由器，IP地址：203.0.113.1用時：2毫秒"));
  EXPECT_EQ(lines[30], Utf8ToCp950("第30個路由器，要求等候逾時 Err=11010"));
  EXPECT_EQ(lines[31], text::kTargetNotReached);
  EXPECT_EQ(echo_.calls().back().ttl, 30);
}

TEST_F(RunTest, TelnetStopsAtTheFirstPortThatConnects) {
  testing::LoopbackListener open;
  testing::LoopbackListener alsoOpen;
  const int closed = testing::ClosedLoopbackPort();
  const Lines lines =
      RunToEnd(TestKind::Telnet, OneHost("127.0.0.1", {closed, open.port(), alsoOpen.port()}));
  EXPECT_EQ(lines, (Lines{"Telnet 127.0.0.1 [127.0.0.1]",
                          Utf8ToCp950("連線失敗，127.0.0.1：" + std::to_string(closed)),
                          Utf8ToCp950("連線成功，127.0.0.1：" + std::to_string(open.port()))}));
}

TEST_F(RunTest, TelnetEdgeCases) {
  // No ports: the header alone.
  EXPECT_EQ(RunToEnd(TestKind::Telnet, OneHost("127.0.0.1")), (Lines{"Telnet 127.0.0.1 [127.0.0.1]"}));

  // A port above 65535 is printed as stored and connects to its low 16 bits.
  sink_.Clear();
  testing::LoopbackListener open;
  const int32_t wide = open.port() + 65536;
  EXPECT_EQ(RunToEnd(TestKind::Telnet, OneHost("127.0.0.1", {wide})).back(),
            Utf8ToCp950("連線成功，127.0.0.1：" + std::to_string(wide)));

  // Nothing connects: one failure line per port, in order.
  sink_.Clear();
  const int a = testing::ClosedLoopbackPort();
  const int b = testing::ClosedLoopbackPort();
  EXPECT_EQ(RunToEnd(TestKind::Telnet, OneHost("127.0.0.1", {a, b})),
            (Lines{"Telnet 127.0.0.1 [127.0.0.1]",
                   Utf8ToCp950("連線失敗，127.0.0.1：" + std::to_string(a)),
                   Utf8ToCp950("連線失敗，127.0.0.1：" + std::to_string(b))}));
}

TEST_F(RunTest, ListIsEmptiedOnlyPastFiveHundredLines) {
  for (int i = 0; i < 499; ++i) controller_.AppendResultLine("old");
  // A resolution failure is a line too: 500 now, which stays.
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, HostCatalogue{}, -1));
  EXPECT_EQ(controller_.ResultLines(), 500);
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, HostCatalogue{}, -1));
  EXPECT_EQ(controller_.ResultLines(), 501);
  EXPECT_EQ(sink_.clears(), 0);
  // 501: the next start empties the list, and its failure line stands alone.
  EXPECT_FALSE(controller_.StartTest(TestKind::Ping, HostCatalogue{}, -1));
  EXPECT_EQ(sink_.lines(), (Lines{text::kNoSelection}));
  EXPECT_EQ(controller_.ResultLines(), 1);
  // Failures never touched the run state.
  EXPECT_TRUE(buttons_.calls().empty());
  EXPECT_FALSE(controller_.IsRunning());
}

TEST_F(RunTest, ClearDuringARunRestartsTheCount) {
  echo_.Script(std::vector<EchoStep>(5, EchoStep{1, 0, Ip(192, 0, 2, 1), 1}));
  echo_.BeforeAnswer([this](int index) {
    if (index == 2) controller_.ClearResultList();  // as if the user pressed Clear now
  });
  const Lines lines = RunToEnd(TestKind::Ping, OneHost("192.0.2.1"));
  EXPECT_EQ(lines, (Lines{"32 bytes from 192.0.2.1: icmp_seq = 2. time: 1 ms",
                          "32 bytes from 192.0.2.1: icmp_seq = 3. time: 1 ms",
                          "32 bytes from 192.0.2.1: icmp_seq = 4. time: 1 ms", "End "}));
  EXPECT_EQ(controller_.ResultLines(), 4);
}

TEST_F(RunTest, OneTestAtATime) {
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  echo_.BeforeAnswer([&](int index) {
    if (index == 0) {
      entered.set_value();
      released.wait_for(std::chrono::seconds(10));
    }
  });
  ASSERT_TRUE(controller_.StartTest(TestKind::Ping, OneHost("192.0.2.1"), 0));
  entered.get_future().wait_for(std::chrono::seconds(10));
  EXPECT_TRUE(controller_.IsRunning());
  EXPECT_FALSE(controller_.StartTest(TestKind::TraceRoute, OneHost("192.0.2.1"), 0));
  release.set_value();
  EXPECT_TRUE(controller_.WorkerFinishedFor(20000));
  EXPECT_EQ(sink_.lines().front(), "Ping 192.0.2.1 [192.0.2.1]");
}

// Closing in the middle of Ping's third pass: the pass ends with its line,
// "End " follows, no fourth echo is sent, and the buttons are left alone.
TEST(RunClose, PingEndsAfterThePassInWhichTheWindowCloses) {
  testing::VectorSink sink;
  testing::RecordingButtons buttons;
  testing::ScriptedEcho echo;
  testing::FakeResolver resolver;
  DiagnosticTimings timings;
  timings.pingPauseMs = 2000;  // a close must cut the pause short
  auto controller = std::make_unique<TestRunController>(sink, buttons, echo, resolver, timings);
  echo.Script(std::vector<EchoStep>(5, EchoStep{1, 0, Ip(192, 0, 2, 1), 2}));
  std::promise<void> thirdPass;
  std::atomic<bool> closing{false};
  echo.BeforeAnswer([&](int index) {
    if (index != 2) return;
    thirdPass.set_value();
    for (int i = 0; i < 1000 && !closing.load(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  ASSERT_TRUE(controller->StartTest(TestKind::Ping, OneHost("192.0.2.1"), 0));
  // The first two passes each pause 2 s; without a close they are waited out.
  ASSERT_EQ(thirdPass.get_future().wait_for(std::chrono::seconds(15)), std::future_status::ready);
  const auto start = std::chrono::steady_clock::now();
  int pumped = 0;
  controller->CloseStep([&] {
    closing.store(true);
    ++pumped;
  });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  EXPECT_GT(pumped, 0);
  EXPECT_EQ(sink.lines(), (Lines{"Ping 192.0.2.1 [192.0.2.1]",
                                 "32 bytes from 192.0.2.1: icmp_seq = 0. time: 2 ms",
                                 "32 bytes from 192.0.2.1: icmp_seq = 1. time: 2 ms",
                                 "32 bytes from 192.0.2.1: icmp_seq = 2. time: 2 ms", "End "}));
  EXPECT_EQ(echo.calls().size(), 3u);
  EXPECT_EQ(buttons.calls(), (std::vector<bool>{false}));
  controller.reset();
}

TEST(RunClose, TraceSendsNoFurtherProbeOnceClosed) {
  testing::VectorSink sink;
  testing::RecordingButtons buttons;
  testing::ScriptedEcho echo;
  testing::FakeResolver resolver;
  {
    TestRunController controller(sink, buttons, echo, resolver);
    std::promise<void> secondProbe;
    std::atomic<bool> closing{false};
    echo.BeforeAnswer([&](int index) {
      if (index != 1) return;
      secondProbe.set_value();
      for (int i = 0; i < 1000 && !closing.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    ASSERT_TRUE(controller.StartTest(TestKind::TraceRoute, OneHost("192.0.2.1"), 0));
    secondProbe.get_future().wait_for(std::chrono::seconds(10));
    controller.CloseStep([&] { closing.store(true); });
    // The probe in flight was cut short: no line for it, and no third probe.
    EXPECT_EQ(echo.calls().size(), 2u);
    EXPECT_EQ(sink.lines().size(), 2u);
  }
}

TEST(RunLifetime, ThousandRunsLeaveNoHandleOpen) {
  testing::VectorSink sink;
  testing::RecordingButtons buttons;
  testing::ScriptedEcho echo;
  testing::FakeResolver resolver;
  TestRunController controller(sink, buttons, echo, resolver);
  const HostCatalogue catalogue = OneHost("192.0.2.1");
  auto runOnce = [&] {
    echo.Script({{1, 0, Ip(192, 0, 2, 1), 1}});
    ASSERT_TRUE(controller.StartTest(TestKind::TraceRoute, catalogue, 0));
    ASSERT_TRUE(controller.WorkerFinishedFor(10000));
  };
  for (int i = 0; i < 20; ++i) runOnce();  // let the runtime settle its own handles
  const int before = testing::OpenHandleCount();
  for (int i = 0; i < 1000; ++i) runOnce();
  controller.CloseStep();
  EXPECT_LE(testing::OpenHandleCount(), before + 2);
  EXPECT_LE(controller.ResultLines(), kMaxResultLines + 3);  // emptied past 500 as it went
}

}  // namespace
}  // namespace rk
