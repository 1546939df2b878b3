#include "probes/parallel_lookup.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace rk {

using Clock = std::chrono::steady_clock;

// Kept alive by the workers too, so that an abandoned look-up can still write
// its answer somewhere; the collector reads it only under the lock.
struct ParallelLookup::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::size_t> queue;  // indices into names
  std::vector<std::string> names;
  std::vector<NameAnswer> answers;
  std::vector<double> ms;
  std::vector<bool> done;
  std::vector<bool> handed;
  std::size_t finishedUnseen = 0;
};

ParallelLookup::ParallelLookup(const std::vector<std::string>& hosts, NameResolver& resolver,
                               uint32_t timeoutMs)
    : shared_(std::make_shared<Shared>()),
      start_(Clock::now()),
      deadline_(start_ + std::chrono::milliseconds(timeoutMs)) {
  constexpr std::size_t kLookupWorkers = 16;
  // A set, not a scan: a catalogue may hold a hundred thousand hosts.
  std::unordered_set<std::string> seen;
  seen.reserve(hosts.size());
  for (const std::string& host : hosts) {
    if (!seen.insert(host).second) continue;
    Lookup lookup;
    if (const std::optional<uint32_t> numeric = ParseNumericIPv4(host)) {
      lookup.address = numeric;
      lookup.finished = true;
      ready_.emplace_back(host, lookup);
    } else if (!IsHostNameSyntax(host)) {
      lookup.finished = true;
      lookup.malformed = true;
      ready_.emplace_back(host, lookup);
    } else {
      shared_->queue.push_back(shared_->names.size());
      shared_->names.push_back(host);
    }
  }
  total_ = seen.size();
  const std::size_t count = shared_->names.size();
  shared_->answers.resize(count);
  shared_->ms.resize(count, 0);
  shared_->done.resize(count, false);
  shared_->handed.resize(count, false);
  const Clock::time_point start = start_;
  for (std::size_t w = 0; w < std::min(kLookupWorkers, count); ++w) {
    // Detached: a look-up the platform does not bound may outlast the check.
    std::thread([state = shared_, &resolver, start] {
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
        const NameAnswer answer = resolver.Resolve(name);
        const std::lock_guard lock(state->mutex);
        state->answers[index] = answer;
        state->ms[index] = TenthsOfMs(Clock::now() - start);
        state->done[index] = true;
        ++state->finishedUnseen;
        state->changed.notify_all();
      }
    }).detach();
  }
}

std::vector<std::pair<std::string, Lookup>> ParallelLookup::Collect() {
  std::vector<std::pair<std::string, Lookup>> out = std::move(ready_);
  ready_.clear();
  const bool late = abandoned_ || Clock::now() >= deadline_;
  const std::lock_guard lock(shared_->mutex);
  if (late) shared_->queue.clear();  // what was not taken yet is never asked
  for (std::size_t i = 0; i < shared_->names.size(); ++i) {
    if (shared_->handed[i] || !(shared_->done[i] || late)) continue;
    shared_->handed[i] = true;
    Lookup lookup;
    if (shared_->done[i]) {
      lookup.finished = true;
      lookup.address = shared_->answers[i].address;
      lookup.failure = shared_->answers[i].failure;
      lookup.ms = shared_->ms[i];
    } else {
      lookup.failure = LookupFailure::NoAnswer;
      lookup.ms = TenthsOfMs(Clock::now() - start_);
    }
    out.emplace_back(shared_->names[i], std::move(lookup));
  }
  shared_->finishedUnseen = 0;
  handed_ += out.size();
  return out;
}

void ParallelLookup::Wait(uint32_t waitMs) {
  if (!ready_.empty()) return;
  const Clock::time_point until = std::min(deadline_, Clock::now() + std::chrono::milliseconds(waitMs));
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait_until(lock, until, [this] { return shared_->finishedUnseen > 0; });
}

std::map<std::string, Lookup> ResolveAll(const std::vector<std::string>& hosts,
                                         NameResolver& resolver, uint32_t timeoutMs,
                                         const StopFlag* stop) {
  ParallelLookup lookups(hosts, resolver, timeoutMs);
  std::map<std::string, Lookup> resolved;
  for (;;) {
    for (auto& [host, lookup] : lookups.Collect()) resolved[host] = std::move(lookup);
    if (lookups.done()) return resolved;
    if (stop != nullptr && stop->load()) lookups.Abandon();
    lookups.Wait(kStopPollMs);
  }
}

double TenthsOfMs(std::chrono::steady_clock::duration elapsed) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  return std::round(static_cast<double>(std::max<decltype(us)>(us, 0)) / 100.0) / 10.0;
}

}  // namespace rk
