#include "ui/OffThread.h"

#include <windows.h>

#include <exception>

#include "base/UniqueHandle.h"

namespace kestel {

namespace {

// What the worker is given and gives back; it lives on the caller's stack, which waits for the
// worker's end before it goes.
struct Work {
  const std::function<void()>& call;
  std::exception_ptr error;
};

DWORD WINAPI RunWork(void* parameter) {
  auto* work = static_cast<Work*>(parameter);
  try {
    work->call();
  } catch (...) {
    work->error = std::current_exception();
  }
  return 0;
}

}  // namespace

void RunOffThread(Application& application, const std::function<void()>& call) {
  Work work{call, nullptr};
  const UniqueHandle worker(CreateThread(nullptr, 0, &RunWork, &work, 0, nullptr));
  if (!worker) return call();
  HANDLE ended = worker.get();
  try {
    for (;;) {
      // Sent messages are handled inside the wait; MWMO_INPUTAVAILABLE also wakes for posted ones that
      // an earlier look at the queue saw and left.
      const DWORD woken = MsgWaitForMultipleObjectsEx(1, &ended, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (woken == WAIT_OBJECT_0) break;
      if (woken != WAIT_OBJECT_0 + 1) {
        // The wait failed, which a live thread handle never makes it do: wait without the windows
        // rather than turn this loop into a busy one.
        WaitForSingleObject(ended, INFINITE);
        break;
      }
      application.ProcessMessages();
    }
  } catch (...) {
    // The worker still holds work: it goes only once the worker has ended.
    WaitForSingleObject(ended, INFINITE);
    throw;
  }
  if (work.error) std::rethrow_exception(work.error);
}

}  // namespace kestel
