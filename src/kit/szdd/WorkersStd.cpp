// The codec's threads and semaphores through the C++ library.
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "kit/szdd/Workers.h"

struct Semaphore::State {
  std::mutex mutex;
  std::condition_variable posted;
  unsigned count;  // guarded by mutex
};

Semaphore::Semaphore(unsigned count) : state_(new State) { state_->count = count; }
Semaphore::~Semaphore() = default;

void Semaphore::Wait() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->posted.wait(lock, [this] { return state_->count > 0; });
  --state_->count;
}

void Semaphore::Post() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->count;
  }
  state_->posted.notify_one();
}

struct WorkerThread::State {
  std::thread thread;
};

WorkerThread::WorkerThread() : state_(new State) {}
WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
  try {
    state_->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void WorkerThread::Join() {
  if (state_->thread.joinable()) state_->thread.join();
}

unsigned MachineCores() { return std::max(1u, std::thread::hardware_concurrency()); }
