#include "follow/FollowWin32.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "base/Utf.h"

namespace kestel {

namespace {

// Local\: one follower per session, reached only from within it.
constexpr const char* kFollowerMutex = "Local\\Kestel.Follower";

// Sets the follower's named event that tells it told, when a follower runs.
void Signal(FollowEvent told) {
  for (const FollowerEvent& e : kFollowerEvents)
    if (e.event == told) {
      const UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(e.name).c_str()));
      if (event) SetEvent(event.get());
    }
}

}  // namespace

std::string TimeOfDayText(const SYSTEMTIME& time) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u:%02u", time.wHour % 100u, time.wMinute % 100u);
  return text;
}

int SendFollowerCommand(FollowerCommand command) {
  Signal(command == FollowerCommand::Stop ? FollowEvent::StopCommand : FollowEvent::CheckCommand);
  return 0;
}

int FollowAfterLogon(Win32Host& host, const RoamingState& state, int exitCode, HINSTANCE instance) {
  // Whatever this run put in force is in force now, also for a follower that runs already.
  if (const std::optional<Place> inForce = state.End ? PlaceInForceAfter(*state.End) : std::nullopt)
    Signal(*inForce == Place::Home ? FollowEvent::HomeSetByARun : FollowEvent::AwaySetByARun);
  const std::optional<Place> place = FollowAfter(host, state);
  if (!place) return exitCode;
  const UniqueHandle one(CreateMutexW(nullptr, FALSE, Wide(kFollowerMutex).c_str()));
  if (!one) return exitCode;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    RecordIfOn(host.Record(), [] { return FollowElsewhereEvent(); });
    return exitCode;
  }
  // The logon window is gone before the following starts.
  host.CloseLogonWindow();
  // An installer that replaces kestel.exe closes the follower through the Restart Manager (as the
  // session's end does) and starts it again from the new file once the files are in place: a logon
  // run, then following. Only then: not after a crash or hang, and not after a restart of Windows,
  // where the logon starts Kestel anyway. An empty command line would undo the registration; any word
  // but /check and /stop is a logon run, and this one tells in the process list why it started. A
  // follower that cannot register follows all the same.
  RegisterApplicationRestart(L"/restarted", RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT);
  Win32FollowHost follow(instance, host.App());
  Follower follower(host, follow, *place, TimeOfDayText(host.DecidedAt()));
  follow.EndWithTheSession(follower);
  return follower.Run();
}

Win32FollowHost::Win32FollowHost(HINSTANCE instance, Application& application)
    : application_(application),
      window_(instance, *this),
      notices_(window_.Handle(), ResidentWindow::kNetworkChangedMessage) {
  for (std::size_t i = 0; i < kFollowerEventCount; ++i)
    events_[i].reset(CreateEventW(nullptr, FALSE, FALSE, Wide(kFollowerEvents[i].name).c_str()));
}

FollowEvents Win32FollowHost::WaitUntil(FollowTime deadline) {
  for (;;) {
    if (!woken_.Empty()) return std::exchange(woken_, {});
    const FollowTime now = Now();
    if (now >= deadline) return {};
    // Those that could not be made are left out of the wait.
    HANDLE events[kFollowerEventCount];
    FollowEvent told[kFollowerEventCount];
    DWORD count = 0;
    for (std::size_t i = 0; i < kFollowerEventCount; ++i)
      if (events_[i]) {
        events[count] = events_[i].get();
        told[count++] = kFollowerEvents[i].event;
      }
    const DWORD result = MsgWaitForMultipleObjectsEx(count, events, static_cast<DWORD>((deadline - now).count()),
                                                     QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result < WAIT_OBJECT_0 + count) return {told[result - WAIT_OBJECT_0]};
    if (result == WAIT_OBJECT_0 + count) application_.ProcessMessages();
    // Waiting again at once after a failed wait would turn the loop into a busy one.
    if (result == WAIT_FAILED) throw std::runtime_error("the wait for the network's changes failed");
  }
}

std::string Win32FollowHost::TimeOfDay() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return TimeOfDayText(now);
}

bool Win32FollowHost::StopPending() {
  const UniqueHandle& stop = events_[kFollowerEventCount - 1];
  if (stop && WaitForSingleObject(stop.get(), 0) == WAIT_OBJECT_0) woken_.Add(FollowEvent::StopCommand);
  return woken_.StopPending();
}

void Win32FollowHost::Notice(FollowEvent event) {
  if (event == FollowEvent::SessionEnded && follower_ != nullptr) follower_->End(FollowEnd::SessionEnded);
  woken_.Add(event);
}

}  // namespace kestel
