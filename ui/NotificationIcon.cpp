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
  // Shared from the module's resources: it needs no destroying.
  icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
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
  data.uFlags = NIF_MESSAGE | NIF_TIP | (icon_ != nullptr ? NIF_ICON : 0u);
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_;
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
