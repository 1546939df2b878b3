#include "probes/parallel_lookup.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace rk {

namespace {

using Clock = std::chrono::steady_clock;

// state alive; the check only reads it under the lock.
struct LookupState {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::size_t> queue;              // indices into names
  std::vector<std::string> names;
  std::vector<std::optional<uint32_t>> answers;
  std::vector<bool> done;
  std::size_t finished = 0;
};

}  // namespace

std::map<std::string, Lookup> ResolveAll(const std::vector<std::string>& hosts,
                                         NameResolver& resolver, uint32_t timeoutMs,
                                         const StopFlag* stop) {
  constexpr std::size_t kLookupWorkers = 16;
  std::map<std::string, Lookup> resolved;
  auto state = std::make_shared<LookupState>();
  for (const std::string& host : hosts) {
    if (resolved.count(host) != 0) continue;
    Lookup& lookup = resolved[host];
    if (const std::optional<uint32_t> numeric = ParseNumericIPv4(host)) {
      lookup.address = numeric;
      lookup.finished = true;
      continue;
    }
    if (!IsHostNameSyntax(host)) {
      lookup.finished = true;
      lookup.malformed = true;
      continue;
    }
    state->queue.push_back(state->names.size());
    state->names.push_back(host);
  }
  if (state->names.empty()) return resolved;
  state->answers.resize(state->names.size());
  state->done.resize(state->names.size(), false);

  const Clock::time_point start = Clock::now();
  const std::size_t workers = std::min(kLookupWorkers, state->names.size());
  for (std::size_t w = 0; w < workers; ++w) {
    // Detached: a look-up the platform does not bound may outlast the check;
    // the worker then ends by itself, holding only the shared state.
    std::thread([state, &resolver] {
      for (;;) {
        std::size_t index;
        std::string name;
        {
          const std::lock_guard lock(state->mutex);
          if (state->queue.empty()) return;
          index = state->queue.front();
          state->queue.pop_front();
          name = state->names[index];
        }
        const std::optional<uint32_t> answer = resolver.FirstIPv4(name);
        const std::lock_guard lock(state->mutex);
        state->answers[index] = answer;
        state->done[index] = true;
        ++state->finished;
        state->changed.notify_all();
      }
    }).detach();
  }

  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lock(state->mutex);
  while (state->finished < state->names.size() && Clock::now() < deadline &&
         !(stop != nullptr && stop->load())) {
    state->changed.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(kStopPollMs)));
  }
  // What was not taken yet is never asked.
  state->queue.clear();
  const double elapsed = TenthsOfMs(Clock::now() - start);
  for (std::size_t i = 0; i < state->names.size(); ++i) {
    Lookup& lookup = resolved[state->names[i]];
    lookup.finished = state->done[i];
    lookup.address = state->answers[i];
    lookup.ms = elapsed;
  }
  return resolved;
}

double TenthsOfMs(std::chrono::steady_clock::duration elapsed) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  return std::round(static_cast<double>(std::max<decltype(us)>(us, 0)) / 100.0) / 10.0;
}

}  // namespace rk
