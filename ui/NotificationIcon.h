// Kestel's icon in the notification area while it follows the network, with its tip and its menu.
// The shell's library is loaded only here, so a run that does not follow never loads it. Where there
// is no notification area (Wine without a system tray), the icon is simply not there.
#pragma once

#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include <memory>
#include <string>

#include "base/UniqueHandle.h"

namespace kestel {

// What the icon asks of the system. A seam, because Wine hides both cases that matter: its one
// comctl32 always has the loader that scales a larger frame down, and it never changes a display's
// scale while a program runs.
class NotificationArea {
 public:
  virtual ~NotificationArea() = default;
  // The size in pixels at which the notification area draws a small icon now.
  virtual int IconSize() = 0;
  // The program's icon at that size, ours to destroy; null when it cannot be loaded.
  virtual HICON LoadProgramIcon(int size) = 0;
  // Shell_NotifyIconW; false where there is no notification area.
  virtual bool Notify(DWORD message, NOTIFYICONDATAW& data) = 0;
};

// The system's notification area, with the icon resource of instance.
std::unique_ptr<NotificationArea> ShellNotificationArea(HINSTANCE instance);

class NotificationIcon {
 public:
  // The icon's messages go to owner as callbackMessage, with the mouse message in lParam.
  NotificationIcon(HINSTANCE instance, HWND owner, UINT callbackMessage);
  NotificationIcon(std::unique_ptr<NotificationArea> area, HWND owner, UINT callbackMessage);
  ~NotificationIcon();
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  // Puts the icon there with this tip, or changes the tip of the one there.
  void Show(const std::string& tip);
  // The shell started again (TaskbarCreated): its icons are gone, so this one is added afresh.
  void Restore();
  // The display's scale may have changed: where the notification area now draws icons at another
  // size, the icon is loaded again at that size and the one there replaced.
  void FollowScale();
  // "Check now" and "Stop following" at the mouse; the chosen one comes to owner as WM_COMMAND.
  void ShowMenu() const;

 private:
  using OwnedIcon = Unique<HICON, DestroyIcon>;
  bool Notify(DWORD message, const std::string& tip);

  HWND owner_;
  UINT callbackMessage_;
  std::unique_ptr<NotificationArea> area_;
  // Ours to destroy: the destructor takes it out of the notification area first.
  OwnedIcon icon_;
  int iconSize_ = 0;
  bool added_ = false;
  std::string tip_;
};

}  // namespace kestel
