#include "probes/stop_flag.h"

#include <algorithm>
#include <thread>

namespace rk {

bool SleepUnlessStopped(uint32_t ms, const StopFlag* stop) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (stop != nullptr && stop->load()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return false;
    const auto slice = std::min<std::chrono::steady_clock::duration>(
        end - now, std::chrono::milliseconds(kStopPollMs));
    std::this_thread::sleep_for(slice);
  }
}

}  // namespace rk
