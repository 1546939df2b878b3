#include "runs/worker_thread.h"

#include <chrono>
#include <system_error>
#include <utility>

namespace rk {

WorkerThread::~WorkerThread() { Join(); }

void WorkerThread::MarkDone(bool done) {
  {
    std::lock_guard lock(doneMutex_);
    done_ = done;
  }
  if (done) doneCv_.notify_all();
}

bool WorkerThread::Start(std::function<void()> body) {
  Join();
  MarkDone(false);
  try {
    thread_ = std::thread([this, body = std::move(body)] {
      body();
      MarkDone(true);
    });
  } catch (const std::system_error&) {
    MarkDone(true);
    return false;
  }
  return true;
}

bool WorkerThread::FinishedFor(uint32_t ms) {
  std::unique_lock lock(doneMutex_);
  return doneCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; });
}

void WorkerThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace rk
