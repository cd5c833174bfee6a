// Kestel's icon in the notification area while it follows the network, with its tip and its menu.
// The shell's library is loaded only here, so a run that does not follow never loads it. Where there
// is no notification area (Wine without a system tray), the icon is simply not there.
#pragma once

#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include <string>

#include "base/SystemLibrary.h"

namespace kestel {

class NotificationIcon {
 public:
  // The icon's messages go to owner as callbackMessage, with the mouse message in lParam.
  NotificationIcon(HINSTANCE instance, HWND owner, UINT callbackMessage);
  ~NotificationIcon();
  NotificationIcon(const NotificationIcon&) = delete;
  NotificationIcon& operator=(const NotificationIcon&) = delete;

  // Puts the icon there with this tip, or changes the tip of the one there.
  void Show(const std::string& tip);
  // The shell started again (TaskbarCreated): its icons are gone, so this one is added afresh.
  void Restore();
  // "Check now" and "Stop following" at the mouse; the chosen one comes to owner as WM_COMMAND.
  void ShowMenu() const;

 private:
  using OwnedIcon = Unique<HICON, DestroyIcon>;
  static OwnedIcon LoadSmallIcon(HINSTANCE instance);
  bool Notify(DWORD message, const std::string& tip);

  HWND owner_;
  UINT callbackMessage_;
  UniqueModule shell32_;
  decltype(&Shell_NotifyIconW) notify_ = nullptr;
  // Ours to destroy: the destructor takes it out of the notification area first.
  OwnedIcon icon_;
  bool added_ = false;
  std::string tip_;
};

}  // namespace kestel
