#include "runs/check_all_run.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "support/test_support.h"

namespace rk {
namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

// The list box and the buttons; the worker and the test touch them at once
// here (the test reads during a run), so they are locked.
struct LockedWindow final : public ResultSink, public TestButtons {
  void AppendLine(std::string line) override {
    std::lock_guard lock(m);
    lines.push_back(line);
  }
  void Clear() override {
    std::lock_guard lock(m);
    lines.clear();
  }
  void SetTestButtonsEnabled(bool on) override {
    std::lock_guard lock(m);
    buttons.push_back(on);
  }
  Lines Shown() {
    std::lock_guard lock(m);
    return lines;
  }
  std::vector<bool> Buttons() {
    std::lock_guard lock(m);
    return buttons;
  }
  std::mutex m;
  Lines lines;
  std::vector<bool> buttons;
};

struct NoEcho final : public EchoService {
  bool Initialize() override { return true; }
  int SendEcho(uint32_t, EchoResult&, int, uint32_t, int, int, const StopFlag*) override { return 0; }
};

struct Fixture {
  LockedWindow window;
  NoEcho echo;
  testing::FakeResolver resolver;
  TestRunController run{window, window, echo, resolver};
  CheckAllRun check{run};
};

// A work that writes `lines`, then waits for `release` (or the stop) and writes "last".
CheckAllRun::Work Writes(Lines lines, std::shared_future<void> release = {}) {
  return [lines, release](const LineWriter& append, const StopFlag& stop) {
    for (const std::string& line : lines) append(line);
    if (release.valid())
      while (release.wait_for(10ms) != std::future_status::ready && !stop.load()) {}
    if (!stop.load()) append("last");
  };
}

TEST(CheckAllRun, WritesItsLinesWithTheTestButtonsOffMeanwhile) {
  Fixture f;
  std::promise<void> release;
  ASSERT_TRUE(f.check.Start(Writes({"a", "b"}, release.get_future().share())));
  ASSERT_FALSE(f.check.FinishedFor(0));
  EXPECT_TRUE(f.run.IsRunning());
  // One run at a time: neither a second check nor a test starts, and no line is written.
  EXPECT_FALSE(f.check.Start(Writes({"x"})));
  EXPECT_FALSE(f.run.StartTest(TestKind::Telnet, {{"127.0.0.1"}, {"h"}, {7}, {}, 1}, 0));
  // Clear works during the run: the later lines land in the empty list, counted from 0.
  while (f.window.Shown().size() < 2) std::this_thread::sleep_for(1ms);
  f.run.ClearResultList();
  release.set_value();
  ASSERT_TRUE(f.check.FinishedFor(5000));
  EXPECT_EQ(f.window.Shown(), Lines{"last"});
  EXPECT_EQ(f.run.ResultLines(), 1);
  EXPECT_EQ(f.window.Buttons(), (std::vector<bool>{false, true}));
  EXPECT_FALSE(f.run.IsRunning());
  // Again, and a test after it.
  ASSERT_TRUE(f.check.Start(Writes({"again"})));
  ASSERT_TRUE(f.check.FinishedFor(5000));
  EXPECT_EQ(f.window.Shown(), (Lines{"last", "again", "last"}));
  EXPECT_EQ(f.window.Buttons(), (std::vector<bool>{false, true, false, true}));
}

TEST(CheckAllRun, ListOfMoreThan500CountedLinesEmptiedAtTheStart) {
  for (const auto& [counted, kept] : {std::tuple{500, true}, std::tuple{501, false}}) {
    Fixture f;
    for (int i = 0; i < counted; ++i) f.run.AppendResultLine("old");
    ASSERT_TRUE(f.check.Start(Writes({"new"})));
    ASSERT_TRUE(f.check.FinishedFor(5000));
    EXPECT_EQ(f.window.Shown().size(), kept ? size_t(counted) + 2 : 2u) << counted;
    EXPECT_EQ(f.run.ResultLines(), kept ? counted + 2 : 2) << counted;
  }
}

TEST(CheckAllRun, CloseStopsTheWorkAndLeavesTheButtonsAlone) {
  Fixture f;
  std::promise<void> never;
  ASSERT_TRUE(f.check.Start(Writes({"a"}, never.get_future().share())));
  int slices = 0;
  const auto start = std::chrono::steady_clock::now();
  f.check.Close([&] { ++slices; });
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(f.window.Shown(), Lines{"a"});  // stopped: no "last"
  EXPECT_EQ(f.window.Buttons(), std::vector<bool>{false});
  EXPECT_FALSE(f.check.Start(Writes({"after"})));  // nothing starts once closing
  EXPECT_EQ(f.window.Shown(), Lines{"a"});
}

}  // namespace
}  // namespace rk
