// The follower's hidden window, for the window itself and for whoever finds it from outside: its
// class, and the commands of the notification icon's menu, which reach it as WM_COMMAND.
#pragma once

namespace kestel {

inline constexpr const char* kResidentWindowClass = "KestelFollower";

enum ResidentCommand : int {
  kCheckNowCommand = 1,
  kStopFollowingCommand = 2,
};

}  // namespace kestel
