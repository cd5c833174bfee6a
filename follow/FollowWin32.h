// The follower on Windows: one per session, reached by kestel.exe /check and /stop through named
// events under Local\, waiting with MsgWaitForMultipleObjectsEx until the next deadline, a message to
// its hidden window or one of those events: no busy loop, and one thread of its own.
#pragma once

#include <windows.h>

#include <iterator>

#include "base/UniqueHandle.h"
#include "follow/Follower.h"
#include "follow/ResidentWindow.h"
#include "net/NetworkChangeNotices.h"
#include "net/NetworkFingerprintWin32.h"
#include "run/Win32Host.h"
#include "ui/Application.h"

namespace kestel {

// kestel.exe /check or /stop: tells the follower of this session, if one runs, and returns the exit
// code, 0 either way.
int SendFollowerCommand(FollowerCommand command);
// After the logon run: tells a follower that runs already which set the run left in force; then
// follows when the run's end and kestel.ini ask for it and no other follower runs in the session, and
// returns its exit code; otherwise returns exitCode at once.
int FollowAfterLogon(Win32Host& host, const RoamingState& state, int exitCode, HINSTANCE instance);

// The events other kestel.exe processes set for the follower, and what each tells it; when
// several are set, the first in this order goes first: a check before a stop, whoever asked for both.
struct FollowerEvent {
  const char* name;  // under Local\: reached only from within the session
  FollowEvent event;
};
inline constexpr FollowerEvent kFollowerEvents[] = {
    {"Local\\Kestel.Follower.Check", FollowEvent::CheckCommand},
    {"Local\\Kestel.Follower.Home", FollowEvent::HomeSetByARun},
    {"Local\\Kestel.Follower.Away", FollowEvent::AwaySetByARun},
    {"Local\\Kestel.Follower.Stop", FollowEvent::StopCommand},
};
inline constexpr std::size_t kFollowerEventCount = std::size(kFollowerEvents);
static_assert(kFollowerEvents[kFollowerEventCount - 1].event == FollowEvent::StopCommand,
              "StopPending looks at the last");

class Win32FollowHost final : public FollowHost, private ResidentNoticeSink {
 public:
  Win32FollowHost(HINSTANCE instance, Application& application);
  // Ended inside the session's last message to the window: the process may be ended when it returns.
  void EndWithTheSession(Follower& follower) noexcept { follower_ = &follower; }

  FollowTime Now() override { return FollowTime{GetTickCount64()}; }
  FollowEvents WaitUntil(FollowTime deadline) override;
  std::optional<std::string> TakeFingerprint() override { return fingerprinter_.Take(); }
  std::string TimeOfDay() override;
  void ShowTip(const std::string& tip) override { window_.ShowTip(tip); }
  bool StopPending() override;

 private:
  void Notice(FollowEvent event) override;

  Application& application_;
  UniqueHandle events_[kFollowerEventCount];
  // What the window was told since the last wait returned.
  FollowEvents woken_;
  Follower* follower_ = nullptr;
  NetworkFingerprinter fingerprinter_;
  // The window goes after the notices that post to it.
  ResidentWindow window_;
  NetworkChangeNotices notices_;
};

// "08:14"
std::string TimeOfDayText(const SYSTEMTIME& time);

}  // namespace kestel
