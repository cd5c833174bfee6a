#include "follow/ResidentWindow.h"

#include <wtsapi32.h>

#include "base/Utf.h"
#include "ui/ResidentIds.h"

namespace kestel {

ResidentWindow::ResidentWindow(HINSTANCE instance, ResidentNoticeSink& sink)
    : sink_(sink),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")),
      window_([&] {
        RegisterWindowClass(instance, kResidentWindowClass, &WindowProcOf<ResidentWindow>, nullptr);
        return CreateWindowExW(WS_EX_TOOLWINDOW, Wide(kResidentWindowClass).c_str(), L"Kestel", WS_OVERLAPPED, 0, 0, 0,
                               0, nullptr, nullptr, instance, this);
      }()),
      icon_(instance, window_.get(), kIconMessage) {
  RegisterSessionNotices();
}

ResidentWindow::~ResidentWindow() {
  if (sessionNotices_) {
    if (const auto unregister = ProcedureOf<decltype(WTSUnRegisterSessionNotification)>(
            wtsapi32_.get(), "WTSUnRegisterSessionNotification"))
      unregister(window_.get());
  }
}

// The session's lock and unlock come from the terminal services library, loaded for it alone.
void ResidentWindow::RegisterSessionNotices() {
  if (!window_) return;
  wtsapi32_ = LoadSystemLibrary("wtsapi32.dll");
  if (!wtsapi32_) return;
  if (const auto reg =
          ProcedureOf<decltype(WTSRegisterSessionNotification)>(wtsapi32_.get(), "WTSRegisterSessionNotification"))
    sessionNotices_ = reg(window_.get(), NOTIFY_FOR_THIS_SESSION) != FALSE;
}

// The follower records its own failures.
LRESULT ResidentWindow::OnFailure(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  return DefWindowProcW(window_.get(), message, wParam, lParam);
}

LRESULT ResidentWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_.get();
  switch (message) {
    case kNetworkChangedMessage:
      sink_.Notice(FollowEvent::SystemNotice);
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC) sink_.Notice(FollowEvent::Resumed);
      return TRUE;
    case WM_WTSSESSION_CHANGE:
      if (wParam == WTS_SESSION_UNLOCK) sink_.Notice(FollowEvent::Unlocked);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) sink_.Notice(FollowEvent::SessionEnded);
      return 0;
    // A window never shown is not sent WM_DPICHANGED; every top-level window is told of a change of
    // the displays or of the system's metrics, which a change of scale brings.
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
    case WM_DPICHANGED:
      icon_.FollowScale();
      return DefWindowProcW(window, message, wParam, lParam);
    case kIconMessage:
      if (lParam == WM_RBUTTONUP || lParam == WM_LBUTTONUP || lParam == WM_CONTEXTMENU) icon_.ShowMenu();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCheckNowCommand) sink_.Notice(FollowEvent::CheckNowChosen);
      if (LOWORD(wParam) == kStopFollowingCommand) sink_.Notice(FollowEvent::StopChosen);
      return 0;
    default:
      if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        icon_.Restore();
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kestel
