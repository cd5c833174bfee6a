#include "ui/NotificationIcon.h"

#include <algorithm>

#include "base/Utf.h"
#include "ui/ResidentIds.h"

namespace kestel {

namespace {

constexpr UINT kIconId = 1;
// The program's own icon, the first of its resources.
constexpr WORD kProgramIcon = 1;

}  // namespace

NotificationIcon::NotificationIcon(HINSTANCE instance, HWND owner, UINT callbackMessage)
    : owner_(owner), callbackMessage_(callbackMessage), shell32_(LoadSystemLibrary("shell32.dll")) {
  if (shell32_) notify_ = ProcedureOf<decltype(Shell_NotifyIconW)>(shell32_.get(), "Shell_NotifyIconW");
  icon_ = LoadSmallIcon(instance);
}

// The frame of the size the shell asks for, scaled down from a larger one where the file has no frame
// of that size: the common controls' own loader does that, where the system's comctl32 has it.
// Otherwise the small icon's size at the system DPI, which is what the shell draws in.
NotificationIcon::OwnedIcon NotificationIcon::LoadSmallIcon(HINSTANCE instance) {
  using LoadIconMetricFunction = HRESULT WINAPI(HINSTANCE, const wchar_t*, int, HICON*);
  constexpr int kSmallMetric = 0;  // LIM_SMALL
  if (const UniqueModule comctl32 = LoadSystemLibrary("comctl32.dll")) {
    if (const auto load = ProcedureOf<LoadIconMetricFunction>(comctl32.get(), "LoadIconMetric")) {
      HICON icon = nullptr;
      if (SUCCEEDED(load(instance, MAKEINTRESOURCEW(kProgramIcon), kSmallMetric, &icon)) && icon != nullptr)
        return OwnedIcon(icon);
    }
  }
  return OwnedIcon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
}

NotificationIcon::~NotificationIcon() {
  if (added_) Notify(NIM_DELETE, {});
}

void NotificationIcon::Show(const std::string& tip) {
  tip_ = tip;
  if (added_ && Notify(NIM_MODIFY, tip)) return;
  added_ = Notify(NIM_ADD, tip);
}

void NotificationIcon::Restore() {
  added_ = false;
  if (!tip_.empty()) Show(tip_);
}

bool NotificationIcon::Notify(DWORD message, const std::string& tip) {
  if (notify_ == nullptr || owner_ == nullptr) return false;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = owner_;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_TIP | (icon_ ? NIF_ICON : 0u);
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_.get();
  const std::wstring wideTip = Wide(tip);
  std::size_t length = std::min(wideTip.size(), std::size(data.szTip) - 1);
  // A tip cut short never ends in the first half of a pair of surrogates.
  if (length < wideTip.size() && length > 0 && wideTip[length - 1] >= 0xD800 && wideTip[length - 1] < 0xDC00) --length;
  wideTip.copy(data.szTip, length);
  return notify_(message, &data) != FALSE;
}

void NotificationIcon::ShowMenu() const {
  const Unique<HMENU, DestroyMenu> menu(CreatePopupMenu());
  if (!menu) return;
  AppendMenuW(menu.get(), MF_STRING, kCheckNowCommand, L"Check now");
  AppendMenuW(menu.get(), MF_STRING, kStopFollowingCommand, L"Stop following");
  POINT at{};
  GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only while its owner is the foreground window;
  // the message after it lets the shell see the menu end.
  SetForegroundWindow(owner_);
  TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, owner_, nullptr);
  PostMessageW(owner_, WM_NULL, 0, 0);
}

}  // namespace kestel
