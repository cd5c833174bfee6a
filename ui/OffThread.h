// Blocking platform calls made so that our windows go on answering: the call runs on a worker thread,
// and the calling thread, which owns the windows, handles every message that comes for them until the
// call returns. A window whose thread takes no message for 5 s is "Not Responding" to the system,
// which then offers the user to end the program in the middle of a run.
//
// Only the call moves: whatever the caller does before and after it (a status text, a box, the
// record) stays on the windows' thread, in the order it had. The messages handled meanwhile only
// set marks (the close box's, a follower's wake-ups); no window procedure of ours starts a step of
// the run, so none can begin while another waits here.
//
// One worker serves every call of the process, made at the first call and ended with its owner: a
// thread is not cheap to start and end (under Wine about a millisecond each time, and each one
// started leaves about a megabyte of its own resident), and a run makes several such calls in a row.
#pragma once

#include <exception>
#include <functional>
#include <type_traits>

#include "base/UniqueHandle.h"
#include "ui/Application.h"

namespace kestel {

class OffThread {
 public:
  explicit OffThread(Application& application) : application_(application) {}
  // Tells the worker to end and waits for it; no call can be under way then, as Run waits for each.
  ~OffThread();
  OffThread(const OffThread&) = delete;
  OffThread& operator=(const OffThread&) = delete;

  // Runs call on the worker and handles this thread's messages through the application until it has
  // returned; an error it raised is raised again here. Without a worker (none could be made) the call
  // runs on this thread, as blocking as it used to be.
  void Run(const std::function<void()>& call);

  // The same for a call with a result.
  template <class Call>
  std::invoke_result_t<Call&> Result(Call call) {
    std::invoke_result_t<Call&> result{};
    Run([&] { result = call(); });
    return result;
  }

 private:
  bool Started();
  static DWORD WINAPI Serve(void* self);

  Application& application_;
  // Auto-reset: given_ wakes the worker for call_ (or its end, once ending_ is set); done_ tells the
  // caller that call_ has returned. The events order every access to the fields between the threads.
  UniqueHandle given_, done_, worker_;
  const std::function<void()>* call_ = nullptr;
  std::exception_ptr error_;
  bool ending_ = false;
  bool busy_ = false;
};

}  // namespace kestel
