#include "app/FollowWin32.h"

#include <cstdio>
#include <stdexcept>

namespace kestel {

namespace {

// Local\: one follower per session, reached only from within it.
constexpr const char* kFollowerMutex = "Local\\Kestel.Follower";
constexpr const char* kCheckEvent = "Local\\Kestel.Follower.Check";
constexpr const char* kStopEvent = "Local\\Kestel.Follower.Stop";

UniqueHandle CreateAutoResetEvent(const char* name) {
  return UniqueHandle(CreateEventA(nullptr, FALSE, FALSE, name));
}

}  // namespace

std::string TimeOfDayText(const SYSTEMTIME& time) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u:%02u", time.wHour % 100u, time.wMinute % 100u);
  return text;
}

int SendFollowerCommand(FollowerCommand command) {
  const UniqueHandle event(
      OpenEventA(EVENT_MODIFY_STATE, FALSE, command == FollowerCommand::Stop ? kStopEvent : kCheckEvent));
  if (event) SetEvent(event.get());
  return 0;
}

int FollowAfterLogon(Win32Host& host, const RoamingState& state, int exitCode, HINSTANCE instance) {
  const std::optional<Place> place = FollowAfter(host, state);
  if (!place) return exitCode;
  const UniqueHandle one(CreateMutexA(nullptr, FALSE, kFollowerMutex));
  if (!one) return exitCode;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    RecordIfOn(host.Record(), [] { return FollowElsewhereEvent(); });
    return exitCode;
  }
  // The logon window is gone before the following starts.
  host.CloseLogonWindow();
  Win32FollowHost follow(instance, host.App(), CreateAutoResetEvent(kCheckEvent), CreateAutoResetEvent(kStopEvent));
  Follower follower(host, follow, *place, TimeOfDayText(host.DecidedAt()));
  follow.EndWithTheSession(follower);
  return follower.Run();
}

Win32FollowHost::Win32FollowHost(HINSTANCE instance, Application& application, UniqueHandle check, UniqueHandle stop)
    : application_(application),
      check_(std::move(check)),
      stop_(std::move(stop)),
      window_(instance, *this),
      notices_(window_.Handle(), ResidentWindow::kNetworkChangedMessage) {}

FollowWake Win32FollowHost::WaitUntil(FollowTime deadline) {
  for (;;) {
    if (woken_ != 0) {
      // The stops, last in the list, go first.
      unsigned kind = 31;
      while ((woken_ & (1u << kind)) == 0) --kind;
      woken_ &= ~(1u << kind);
      return static_cast<FollowWake>(kind);
    }
    const FollowTime now = Now();
    if (now >= deadline) return FollowWake::Deadline;
    // A check waiting beside a stop is done first: whoever asked for both gets both.
    HANDLE events[] = {check_.get(), stop_.get()};
    const DWORD count = check_ && stop_ ? 2 : 0;
    const DWORD result = MsgWaitForMultipleObjectsEx(count, events, static_cast<DWORD>((deadline - now).count()),
                                                     QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0 && count == 2) return FollowWake::CheckCommand;
    if (result == WAIT_OBJECT_0 + 1 && count == 2) return FollowWake::StopCommand;
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
  if (stop_ && WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) Woken(FollowWake::StopCommand);
  return woken_ >= 1u << static_cast<unsigned>(FollowWake::StopChosen);
}

void Win32FollowHost::Notice(ResidentNotice notice) {
  switch (notice) {
    case ResidentNotice::NetworkChanged:
      return Woken(FollowWake::SystemNotice);
    case ResidentNotice::Resumed:
      return Woken(FollowWake::Resumed);
    case ResidentNotice::Unlocked:
      return Woken(FollowWake::Unlocked);
    case ResidentNotice::CheckNowChosen:
      return Woken(FollowWake::CheckNowChosen);
    case ResidentNotice::StopChosen:
      return Woken(FollowWake::StopChosen);
    case ResidentNotice::SessionEnding:
      if (follower_ != nullptr) follower_->End(FollowEnd::SessionEnded);
      return Woken(FollowWake::SessionEnded);
  }
}

}  // namespace kestel
