#include "ui/NotificationIcon.h"

#include <algorithm>

#include "base/SystemLibrary.h"
#include "base/Utf.h"
#include "ui/ResidentIds.h"

namespace kestel {

namespace {

constexpr UINT kIconId = 1;
// The program's own icon, the first of its resources.
constexpr WORD kProgramIcon = 1;

class ShellArea final : public NotificationArea {
 public:
  explicit ShellArea(HINSTANCE instance)
      : instance_(instance),
        shell32_(LoadSystemLibrary("shell32.dll")),
        commonControls_(LoadSystemLibrary("comctl32.dll")),
        user32_(LoadSystemLibrary("user32.dll")),
        shcore_(LoadSystemLibrary("shcore.dll")) {
    if (shell32_) notify_ = ProcedureOf<decltype(Shell_NotifyIconW)>(shell32_.get(), "Shell_NotifyIconW");
    if (commonControls_)
      loadScaledDown_ = ProcedureOf<LoadScaledDownFunction>(commonControls_.get(), "LoadIconWithScaleDown");
    if (user32_) metricForDpi_ = ProcedureOf<MetricForDpiFunction>(user32_.get(), "GetSystemMetricsForDpi");
    if (shcore_) monitorDpi_ = ProcedureOf<MonitorDpiFunction>(shcore_.get(), "GetDpiForMonitor");
  }

  // The notification area lies on the primary monitor's taskbar and draws at that monitor's scale of
  // the moment. GetSystemMetrics answers at the DPI the process started with, so after a change of
  // scale it would keep the size the icon had at logon.
  int IconSize() override {
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (metricForDpi_ != nullptr && monitorDpi_ != nullptr &&
        SUCCEEDED(monitorDpi_(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), 0 /* MDT_EFFECTIVE_DPI */, &dpiX,
                              &dpiY)) &&
        dpiX > 0) {
      if (const int size = metricForDpi_(SM_CXSMICON, dpiX); size > 0) return size;
    }
    return GetSystemMetrics(SM_CXSMICON);
  }

  // The frame of that size, scaled down from a larger one where the file has no frame of that size:
  // the loader of common controls 6 does that. System32's comctl32 5.82 has no such loader (without
  // the manifest's dependency, or on Windows 7 without the update that lets a DLL be loaded from the
  // system folder alone): there the icon is the frame nearest in size, stretched.
  HICON LoadProgramIcon(int size) override {
    HICON icon = nullptr;
    if (loadScaledDown_ != nullptr &&
        SUCCEEDED(loadScaledDown_(instance_, MAKEINTRESOURCEW(kProgramIcon), size, size, &icon)) && icon != nullptr)
      return icon;
    return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon), IMAGE_ICON, size, size, 0));
  }

  bool Notify(DWORD message, NOTIFYICONDATAW& data) override {
    return notify_ != nullptr && notify_(message, &data) != FALSE;
  }

 private:
  using LoadScaledDownFunction = HRESULT WINAPI(HINSTANCE, const wchar_t*, int, int, HICON*);
  using MetricForDpiFunction = int WINAPI(int, UINT);
  using MonitorDpiFunction = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);

  HINSTANCE instance_;
  UniqueModule shell32_;
  UniqueModule commonControls_;
  UniqueModule user32_;
  UniqueModule shcore_;
  decltype(&Shell_NotifyIconW) notify_ = nullptr;
  LoadScaledDownFunction* loadScaledDown_ = nullptr;
  MetricForDpiFunction* metricForDpi_ = nullptr;
  MonitorDpiFunction* monitorDpi_ = nullptr;
};

}  // namespace

std::unique_ptr<NotificationArea> ShellNotificationArea(HINSTANCE instance) {
  return std::make_unique<ShellArea>(instance);
}

NotificationIcon::NotificationIcon(HINSTANCE instance, HWND owner, UINT callbackMessage)
    : NotificationIcon(ShellNotificationArea(instance), owner, callbackMessage) {}

NotificationIcon::NotificationIcon(std::unique_ptr<NotificationArea> area, HWND owner, UINT callbackMessage)
    : owner_(owner), callbackMessage_(callbackMessage), area_(std::move(area)) {
  FollowScale();
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
  FollowScale();
  if (tip_.empty()) return;
  // Windows sends TaskbarCreated after a change of scale too, with the icon still there: the add then
  // fails and the icon would stay behind, untouched by later tips and by the end.
  added_ = Notify(NIM_ADD, tip_) || Notify(NIM_MODIFY, tip_);
}

void NotificationIcon::FollowScale() {
  const int size = area_->IconSize();
  if (icon_ && size == iconSize_) return;
  OwnedIcon icon(area_->LoadProgramIcon(size));
  if (!icon) return;  // the icon there stays, at its old size
  // The one replaced goes at the end of this scope, once the shell has the new one.
  icon_.swap(icon);
  iconSize_ = size;
  if (added_) Notify(NIM_MODIFY, tip_);
}

bool NotificationIcon::Notify(DWORD message, const std::string& tip) {
  if (owner_ == nullptr) return false;
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
  return area_->Notify(message, data);
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
