#pragma once
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "diagnostics/icmp_echo.h"
#include "diagnostics/test_run.h"

namespace rk::testing {

// Collects lines as the window's list box would; waits are bounded.
class VectorSink final : public ResultSink {
 public:
  void AppendLine(std::string line) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
    changed_.notify_all();
  }
  void Clear() override {
    std::lock_guard lock(mutex_);
    lines_.clear();
    ++clears_;
  }
  std::vector<std::string> lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  int clears() {
    std::lock_guard lock(mutex_);
    return clears_;
  }
  // Waits up to 10 s for at least n lines.
  bool WaitForLines(std::size_t n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return lines_.size() >= n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  int clears_ = 0;
};

class RecordingButtons final : public TestButtons {
 public:
  void SetTestButtonsEnabled(bool enabled) override {
    std::lock_guard lock(mutex_);
    calls_.push_back(enabled);
  }
  std::vector<bool> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<bool> calls_;
};

// One scripted outcome of SendEcho.
struct EchoStep {
  int returnValue = 1;
  uint32_t errorCode = 0;
  uint32_t replyAddress = 0;
  uint32_t roundTripMs = 0;
};

struct EchoCall {
  uint32_t destination;
  int ttl;
  uint32_t timeoutMs;
  int dataSize;
  int noOptions;
};

// Answers echoes from a script; past its end, every echo times out. A hook
// can run before an answer (to close the run in the middle of a pass).
class ScriptedEcho final : public EchoService {
 public:
  bool Initialize() override { return true; }
  int SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs, int dataSize,
               int noOptions, const StopFlag* = nullptr) override {
    std::function<void(int)> hook;
    EchoStep step{1, kIpReqTimedOut, 0, 0};
    int index = 0;
    {
      std::lock_guard lock(mutex_);
      calls_.push_back({destination, ttl, timeoutMs, dataSize, noOptions});
      index = static_cast<int>(calls_.size()) - 1;
      if (!script_.empty()) {
        step = script_.front();
        script_.pop_front();
      }
      hook = beforeAnswer_;
    }
    if (hook) hook(index);
    if (step.returnValue != 1) return step.returnValue;
    if (step.errorCode != 0) {
      result.errorCode = step.errorCode;
    } else {
      result.replyAddress = step.replyAddress;
      result.roundTripMs = step.roundTripMs;
    }
    return 1;
  }
  void Script(std::vector<EchoStep> steps) {
    std::lock_guard lock(mutex_);
    script_.assign(steps.begin(), steps.end());
  }
  void BeforeAnswer(std::function<void(int)> hook) {
    std::lock_guard lock(mutex_);
    beforeAnswer_ = std::move(hook);
  }
  std::vector<EchoCall> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::deque<EchoStep> script_;
  std::vector<EchoCall> calls_;
  std::function<void(int)> beforeAnswer_;
};

}  // namespace rk::testing
