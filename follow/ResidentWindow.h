// The follower's window: hidden for good, never on the taskbar, it is there to receive what the
// system tells top-level windows (waking from sleep, the session's unlock and end) and the messages of
// the notification icon. A message-only window would not be told of waking.
#pragma once

#include <windows.h>

#include <string>

#include "base/SystemLibrary.h"
#include "follow/FollowEvent.h"
#include "ui/Application.h"
#include "ui/NotificationIcon.h"
#include "ui/WinHandles.h"

namespace kestel {

// Told of each event as the window handles it. SessionEnded comes inside the system's last message
// to the window: whatever must be done before the process may be ended is done there.
class ResidentNoticeSink {
 public:
  virtual void Notice(FollowEvent event) = 0;

 protected:
  ~ResidentNoticeSink() = default;
};

class ResidentWindow {
 public:
  // Another thread posts this to the window for a change of the network.
  static constexpr UINT kNetworkChangedMessage = WM_APP + 1;

  ResidentWindow(HINSTANCE instance, ResidentNoticeSink& sink);
  ~ResidentWindow();
  ResidentWindow(const ResidentWindow&) = delete;
  ResidentWindow& operator=(const ResidentWindow&) = delete;

  HWND Handle() const noexcept { return window_.get(); }
  void ShowTip(const std::string& tip) { icon_.Show(tip); }

 private:
  static constexpr UINT kIconMessage = WM_APP + 2;
  friend LRESULT CALLBACK WindowProcOf<ResidentWindow>(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnFailure(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  void RegisterSessionNotices();

  ResidentNoticeSink& sink_;
  UINT taskbarCreated_;
  UniqueWindow window_;
  NotificationIcon icon_;
  UniqueModule wtsapi32_;
  bool sessionNotices_ = false;
};

}  // namespace kestel
