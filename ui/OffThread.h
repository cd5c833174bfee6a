// Blocking platform calls made so that our windows go on answering: the call runs on a thread of its
// own, and the calling thread, which owns the windows, handles every message that comes for them
// until the call returns. A window whose thread takes no message for 5 s is "Not Responding" to the
// system, which then offers the user to end the program in the middle of a run.
//
// Only the call moves: whatever the caller does before and after it (a status text, a box, the
// record) stays on the windows' thread, in the order it had. The messages handled meanwhile only
// set marks (the close box's, a follower's wake-ups); no window procedure of ours starts a step of
// the run, so none can begin while another waits here.
#pragma once

#include <functional>
#include <type_traits>

#include "ui/Application.h"

namespace kestel {

// Runs call on a worker thread and handles this thread's messages through application until it
// has returned; an error it raised is raised again here. Without a worker (the thread could not be
// made) the call runs on this thread, as blocking as it used to be.
void RunOffThread(Application& application, const std::function<void()>& call);

// The same for a call with a result.
template <class Call>
std::invoke_result_t<Call&> CallOffThread(Application& application, Call call) {
  std::invoke_result_t<Call&> result{};
  RunOffThread(application, [&] { result = call(); });
  return result;
}

}  // namespace kestel
