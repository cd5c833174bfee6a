#include "ui/OffThread.h"

#include <windows.h>

#include <utility>

namespace kestel {

OffThread::~OffThread() {
  if (!worker_) return;
  ending_ = true;
  if (SetEvent(given_.get())) WaitForSingleObject(worker_.get(), INFINITE);
}

bool OffThread::Started() {
  if (worker_) return true;
  if (!given_) given_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!done_) done_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!given_ || !done_) return false;
  worker_.reset(CreateThread(nullptr, 0, &Serve, this, 0, nullptr));
  return worker_ != nullptr;
}

DWORD WINAPI OffThread::Serve(void* parameter) {
  auto* self = static_cast<OffThread*>(parameter);
  while (WaitForSingleObject(self->given_.get(), INFINITE) == WAIT_OBJECT_0 && !self->ending_) {
    try {
      (*self->call_)();
    } catch (...) {
      self->error_ = std::current_exception();
    }
    SetEvent(self->done_.get());
  }
  return 0;
}

void OffThread::Run(const std::function<void()>& call) {
  // No message handled during a wait starts another call; were one to, it runs here rather than hand
  // the worker a second call while the first still holds it.
  if (busy_ || !Started()) return call();
  call_ = &call;
  error_ = nullptr;
  if (!SetEvent(given_.get())) return call();
  busy_ = true;
  // The worker's end counts too: it ends only once its own wait failed, before it took the call, so
  // the call is then made here and the next one starts a new worker.
  const HANDLE waited[] = {done_.get(), worker_.get()};
  DWORD woken = WAIT_FAILED;
  try {
    for (;;) {
      // Sent messages are handled inside the wait; MWMO_INPUTAVAILABLE also wakes for posted ones that
      // an earlier look at the queue saw and left.
      woken = MsgWaitForMultipleObjectsEx(2, waited, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woken != WAIT_OBJECT_0 + 2) break;
      application_.ProcessMessages();
    }
  } catch (...) {
    // The worker still holds call: it may go only once the call has returned.
    WaitForMultipleObjects(2, waited, FALSE, INFINITE);
    busy_ = false;
    throw;
  }
  // The wait failed, which live handles never make it do: wait without the windows rather than turn
  // the loop into a busy one.
  if (woken != WAIT_OBJECT_0 && woken != WAIT_OBJECT_0 + 1) woken = WaitForMultipleObjects(2, waited, FALSE, INFINITE);
  busy_ = false;
  if (woken == WAIT_OBJECT_0 + 1) {
    worker_.reset();
    given_.reset();
    done_.reset();
    return call();
  }
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

}  // namespace kestel
