// The concurrency the codec works with, the same on both build machines:
// threads that run one function each, counting semaphores, and the number of
// the machine's cores. MinGW's runtime of the Windows builds has no
// std::thread, so there the platform's own threads stand in.
#pragma once
#include <functional>
#include <memory>

class Semaphore {
 public:
  explicit Semaphore(unsigned count = 0);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;
  // Waits until the count is above zero, and takes one from it.
  void Wait();
  void Post();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

class WorkerThread {
 public:
  WorkerThread();
  // Joins a thread still running: its body must be about to end.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Runs body on a thread of its own. False when the system cannot start
  // one. The body must not throw.
  bool Start(std::function<void()> body);
  // Waits for the body to end; nothing when no thread was started.
  void Join();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The processors the system offers this program, at least 1.
unsigned MachineCores();
