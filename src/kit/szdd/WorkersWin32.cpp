// The codec's threads and semaphores through the Windows API, for the
// Windows builds, whose C++ runtime has no threads.
#include <windows.h>

#include <process.h>

#include <new>
#include <stdexcept>

#include "kit/szdd/Workers.h"

struct Semaphore::State {
  HANDLE handle;
};

Semaphore::Semaphore(unsigned count) : state_(new State) {
  state_->handle = CreateSemaphoreW(nullptr, static_cast<LONG>(count), 0x7FFFFFFF, nullptr);
  if (state_->handle == nullptr) throw std::runtime_error("the system gives no more semaphores");
}

Semaphore::~Semaphore() { CloseHandle(state_->handle); }

void Semaphore::Wait() { WaitForSingleObject(state_->handle, INFINITE); }
void Semaphore::Post() { ReleaseSemaphore(state_->handle, 1, nullptr); }

struct WorkerThread::State {
  HANDLE handle = nullptr;
  std::function<void()> body;
};

namespace {

unsigned __stdcall RunBody(void* state) {
  static_cast<std::function<void()>*>(state)->operator()();
  return 0;
}

}  // namespace

WorkerThread::WorkerThread() : state_(new State) {}
WorkerThread::~WorkerThread() { Join(); }

// _beginthreadex rather than CreateThread, so that the C library's
// per-thread state is set up for the body.
bool WorkerThread::Start(std::function<void()> body) {
  state_->body = std::move(body);
  const std::uintptr_t handle = _beginthreadex(nullptr, 0, RunBody, &state_->body, 0, nullptr);
  if (handle == 0) return false;
  state_->handle = reinterpret_cast<HANDLE>(handle);
  return true;
}

void WorkerThread::Join() {
  if (state_->handle == nullptr) return;
  WaitForSingleObject(state_->handle, INFINITE);
  CloseHandle(state_->handle);
  state_->handle = nullptr;
}

unsigned MachineCores() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}
