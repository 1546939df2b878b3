#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace rk {

// Set by the owner of a test run when the run must end (the window closes, the
// CLI is interrupted). Every wait of a worker looks at it at least every
// kStopPollMs, so a stop request is honoured promptly.
using StopFlag = std::atomic<bool>;

inline constexpr uint32_t kStopPollMs = 50;

// Sleeps up to `ms`, returning early (true) once `stop` is set.
bool SleepUnlessStopped(uint32_t ms, const StopFlag* stop);

}  // namespace rk
