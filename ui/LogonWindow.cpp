#include "ui/LogonWindow.h"

#include <algorithm>
#include <exception>

#include "base/Utf.h"
#include "ui/DisplayScale.h"

namespace kestel {

namespace {

using dialogkeys::Control;

constexpr const char* kWindowClass = "KestelStatusWindow";
constexpr const char* kCaption = "Kestel: Network Roaming Software";
constexpr const char* kTaglineText = "Kestel sets up your network for where you are";
constexpr COLORREF kBackground = RGB(219, 230, 242);
constexpr COLORREF kFontColour = RGB(26, 26, 198);
// Every length here is a pixel count at 96 dpi; the window scales them all by its own DPI.
constexpr int kFontHeight = 11;  // character height in pixels: 8 points at 96 pixels per inch
constexpr int kClientWidth = 274;
constexpr int kClientHeight = 47;
constexpr int kStatusLineHeight = 17;
constexpr int kTaglineHeight = 14;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// The modal frame keeps the caption bar free of an icon.
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

struct ControlDesign {
  int id;
  const char* windowClass;
  const char* text;
  DWORD style;
  DWORD exStyle;
  int left, top, width, height;
};

// The stored design, in creation order.
constexpr ControlDesign kControls[] = {
    {kIdStatusLine, "STATIC", "Searching", SS_LEFT | SS_NOPREFIX, 0, 0, 0, kClientWidth, kStatusLineHeight},
    {kIdTagline, "STATIC", kTaglineText, SS_LEFT | SS_NOPREFIX, 0, 0, 33, kClientWidth, kTaglineHeight},
    {kIdPicture, "STATIC", "", SS_OWNERDRAW, 0, 8, 48, 81, 105},
    {kIdUserNameCaption, "STATIC", "Username:", SS_LEFT | SS_NOPREFIX, 0, 104, 47, 52, 14},
    {kIdUserName, "EDIT", "", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 104, 64, 153, 22},
    {kIdPasswordCaption, "STATIC", "Password:", SS_LEFT | SS_NOPREFIX, 0, 104, 87, 53, 14},
    {kIdPassword, "EDIT", "", ES_LEFT | ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, WS_EX_CLIENTEDGE, 104, 104, 153, 22},
    {kIdLogon, "BUTTON", "Logon", BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP, 0, 104, 136, 75, 25},
    {kIdCancel, "BUTTON", "Cancel", BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP, 0, 184, 136, 75, 25},
};

dialogkeys::Key KeyOf(WPARAM virtualKey) {
  switch (virtualKey) {
    case VK_RETURN:
      return dialogkeys::Key::Return;
    case VK_ESCAPE:
      return dialogkeys::Key::Escape;
    case VK_TAB:
      return dialogkeys::Key::Tab;
    default:
      return dialogkeys::Key::Other;
  }
}

bool KeyDown(int virtualKey) {
  return GetKeyState(virtualKey) < 0;
}

std::string TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return Utf8(text);
}

UniqueGdi<HFONT> WindowFont(int dpi) {
  return UniqueGdi<HFONT>(CreateFontW(-Scaled(kFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
}

}  // namespace

LogonWindow::LogonWindow(HINSTANCE instance, Application& application)
    : application_(application), designClientHeight_(kClientHeight), background_(CreateSolidBrush(kBackground)) {
  pictureBitmap_.reset(static_cast<HBITMAP>(LoadImageW(instance, L"LOGON_PICTURE", IMAGE_BITMAP, 0, 0, 0)));
  if (pictureBitmap_) {
    BITMAP info{};
    GetObjectW(pictureBitmap_.get(), sizeof info, &info);
    UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    SelectionScope selected(memory.get(), pictureBitmap_.get());
    pictureTransparent_ = GetPixel(memory.get(), 0, info.bmHeight - 1);
  }

  RegisterWindowClass(instance, kWindowClass, &WindowProcOf<LogonWindow>, background_.get());
  const RECT outer = scale_.OuterOf(RECT{0, 0, kClientWidth, kClientHeight}, kStyle, kExStyle, kDesignDpi);
  window_.reset(CreateWindowExW(kExStyle, Wide(kWindowClass).c_str(), Wide(kCaption).c_str(), kStyle, CW_USEDEFAULT,
                                CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                instance, this));
  if (!window_) return;
  // Only a window knows the monitor it is on, and the frame it is really given: the design's size
  // first, then the client at its DPI.
  dpi_ = scale_.DpiOf(window_.get());
  FitClientArea(window_.get(), Scaled(kClientWidth, dpi_), Scaled(designClientHeight_, dpi_));
  font_ = WindowFont(dpi_);
  CreateControls(instance);
  AttachKeyboardRules(window_.get(), this);
}

LogonWindow::~LogonWindow() {
  // The window goes while every member it may still send messages about is alive.
  if (window_) AttachKeyboardRules(window_.get(), nullptr);
  window_.reset();
}

void LogonWindow::CreateControls(HINSTANCE instance) {
  for (const ControlDesign& c : kControls) {
    const RECT r = ScaledRect(c.left, c.top, c.width, c.height, dpi_);
    HWND control =
        CreateWindowExW(c.exStyle, Wide(c.windowClass).c_str(), Wide(c.text).c_str(), WS_CHILD | WS_VISIBLE | c.style,
                        r.left, r.top, r.right - r.left, r.bottom - r.top, window_.get(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    switch (c.id) {
      case kIdStatusLine:
        statusLine_ = control;
        break;
      case kIdTagline:
        tagline_ = control;
        break;
      case kIdPicture:
        picture_ = control;
        break;
      case kIdUserName:
        username_ = control;
        break;
      case kIdPassword:
        password_ = control;
        SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        break;
      case kIdLogon:
        logonButton_ = control;
        break;
      case kIdCancel:
        cancelButton_ = control;
        break;
      default:
        break;
    }
  }
  // 0 lifts the limit to the largest an edit can hold.
  SendMessageW(username_, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(password_, EM_SETLIMITTEXT, 0, 0);
}

void LogonWindow::ChangeDpi(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  // The controls take the new font before the old one goes.
  UniqueGdi<HFONT> font = WindowFont(dpi_);
  for (const ControlDesign& c : kControls) {
    HWND control = GetDlgItem(window_.get(), c.id);
    if (control == nullptr) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    const RECT r = ScaledRect(c.left, c.top, c.width, c.height, dpi_);
    MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  font_ = std::move(font);
  // The suggested rectangle holds the frame computed for the new DPI; the client is sized again from
  // the frame the window has now. The new size lays out the edge-bound lines; the same size would
  // not, so they are laid out here too.
  SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea(window_.get(), Scaled(kClientWidth, dpi_), Scaled(designClientHeight_, dpi_));
  RECT client{};
  GetClientRect(window_.get(), &client);
  LayOut(client.right, client.bottom);
  // A control that only grew repaints only the part it gained: every one is drawn anew in the new font.
  RedrawWindow(window_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// An error is told, and the run goes on.
LRESULT LogonWindow::OnFailure(UINT, WPARAM, LPARAM) noexcept {
  try {
    throw;
  } catch (const std::exception& e) {
    MessageBoxW(window_.get(), Wide(e.what()).c_str(), Wide(application_.Title()).c_str(), MB_OK | MB_ICONSTOP);
  } catch (...) {
  }
  return 0;
}

LRESULT LogonWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kFontColour);
      SetBkColor(dc, kBackground);
      return reinterpret_cast<LRESULT>(background_.get());
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.hwndItem == picture_)
        DrawPicture(item);
      else
        DrawButton(item, ControlOf(item.hwndItem));
      return TRUE;
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_SIZE:
      LayOut(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_QUERYENDSESSION:
      // Only a question, answered at once as Windows asks: another program may still refuse it, so
      // the run goes on until WM_ENDSESSION says.
      return TRUE;
    case WM_ENDSESSION:
      // TRUE: the session ends, or Restart Manager (ENDSESSION_CLOSEAPP) wants the program closed;
      // either way Windows may end the process once this returns. FALSE: the end was refused.
      if (wParam != FALSE) application_.EndSession();
      return 0;
    case WM_CLOSE:
      // The main window never closes itself: in the dialog a close answers it, otherwise it only
      // marks the application as ending and the run goes on.
      if (modal_)
        modalResult_ = ModalResult::Closed;
      else
        application_.Terminate();
      return 0;
    default:
      return DefWindowProcW(window_.get(), message, wParam, lParam);
  }
}

void LogonWindow::LayOut(int clientWidth, int clientHeight) {
  // The status line keeps to the top edge, the tagline to the bottom one; everything else stays where it is.
  const int statusHeight = Scaled(kStatusLineHeight, dpi_);
  const int taglineHeight = Scaled(kTaglineHeight, dpi_);
  if (statusLine_) MoveWindow(statusLine_, 0, 0, clientWidth, statusHeight, TRUE);
  if (tagline_) MoveWindow(tagline_, 0, clientHeight - taglineHeight, clientWidth, taglineHeight, TRUE);
}

void LogonWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_.get(), focus)) activeControl_ = focus;
    return;
  }
  // Outside the dialog the frame keeps the focus, so no out-of-sight control is reached by keys.
  if (modal_)
    SetFocus(activeControl_ != nullptr ? activeControl_ : username_);
  else
    SetFocus(window_.get());
}

void LogonWindow::OnCommand(int id, int code) {
  if (id == kIdLogon || id == kIdCancel) {
    if (code == BN_CLICKED)
      ClickButton(id == kIdLogon ? Control::Logon : Control::Cancel);
    else if (code == BN_SETFOCUS || code == BN_KILLFOCUS)
      RepaintButtons();
  } else if ((id == kIdUserName || id == kIdPassword) && (code == EN_SETFOCUS || code == EN_KILLFOCUS)) {
    RepaintButtons();
  }
}

void LogonWindow::ClickButton(Control button) {
  HWND control = HandleOf(button);
  // The buttons only count in the dialog: outside it they lie out of sight below the status line.
  if (!modal_ || control == nullptr || !IsWindowEnabled(control)) return;
  modalResult_ = ModalResult::None;  // each button carries a modal result of its own, 0 for both
  if (button == Control::Logon)
    LogonClick();
  else
    CancelClick();
}

void LogonWindow::LogonClick() {
  EnableWindow(logonButton_, FALSE);
  modalResult_ = ModalResult::Logon;
}

void LogonWindow::CancelClick() {
  haltRequested_ = true;
}

bool LogonWindow::PreTranslate(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
      break;
    case WM_KEYUP:
    case WM_CHAR:
    case WM_DEADCHAR:
      return !modal_;
    default:
      return false;  // system keys stay the system's: Alt+F4 closes as the close box does
  }
  const dialogkeys::DialogState state{modal_, ControlOf(GetFocus()), IsWindowEnabled(logonButton_) != FALSE,
                                      IsWindowEnabled(cancelButton_) != FALSE};
  const dialogkeys::KeyPress key{KeyOf(msg.wParam), KeyDown(VK_SHIFT), KeyDown(VK_CONTROL), KeyDown(VK_MENU)};
  const dialogkeys::Decision decision = dialogkeys::Decide(state, key);
  switch (decision.kind) {
    case dialogkeys::Decision::Kind::PassOn:
      return false;
    case dialogkeys::Decision::Kind::Swallow:
      return true;
    case dialogkeys::Decision::Kind::Click:
      ClickButton(decision.target);
      return true;
    case dialogkeys::Decision::Kind::Focus: {
      HWND target = HandleOf(decision.target);
      SetFocus(target);
      if (target == username_ || target == password_) SendMessageW(target, EM_SETSEL, 0, -1);
      return true;
    }
  }
  return false;
}

Control LogonWindow::ControlOf(HWND control) const {
  if (control == nullptr) return Control::None;
  if (control == logonButton_) return Control::Logon;
  if (control == cancelButton_) return Control::Cancel;
  if (control == username_) return Control::UserName;
  if (control == password_) return Control::Password;
  return Control::None;
}

HWND LogonWindow::HandleOf(Control control) const {
  switch (control) {
    case Control::Logon:
      return logonButton_;
    case Control::Cancel:
      return cancelButton_;
    case Control::UserName:
      return username_;
    case Control::Password:
      return password_;
    case Control::None:
      break;
  }
  return nullptr;
}

void LogonWindow::RepaintButtons() {
  InvalidateRect(logonButton_, nullptr, FALSE);
  InvalidateRect(cancelButton_, nullptr, FALSE);
}

void LogonWindow::DrawButton(const DRAWITEMSTRUCT& item, Control button) {
  HDC dc = item.hDC;
  RECT face = item.rcItem;
  FillRect(dc, &face, background_.get());
  if (modal_ && dialogkeys::DefaultButton(ControlOf(GetFocus())) == button) {
    FrameRect(dc, &face, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&face, -1, -1);
  }
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0u));

  SelectionScope font(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, (item.itemState & ODS_DISABLED) != 0 ? GetSysColor(COLOR_GRAYTEXT) : kFontColour);
  RECT text = face;
  if (pushed) OffsetRect(&text, 1, 1);
  const std::wstring caption = Wide(TextOf(item.hwndItem));
  DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = face;
    InflateRect(&focus, -Scaled(4, dpi_), -Scaled(4, dpi_));
    DrawFocusRect(dc, &focus);
  }
}

void LogonWindow::DrawPicture(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, background_.get());
  if (!pictureBitmap_) return;
  BITMAP info{};
  GetObjectW(pictureBitmap_.get(), sizeof info, &info);
  if (dpi_ != kDesignDpi) {
    DrawScaledPicture(item, info);
    return;
  }
  // Natural size from the top-left corner, clipped to the area; pixels of the bottom-left pixel's
  // colour let the background show through.
  const int width = std::min(static_cast<int>(info.bmWidth), static_cast<int>(item.rcItem.right - item.rcItem.left));
  const int height = std::min(static_cast<int>(info.bmHeight), static_cast<int>(item.rcItem.bottom - item.rcItem.top));
  UniqueMemoryDc memory(CreateCompatibleDC(item.hDC));
  SelectionScope selected(memory.get(), pictureBitmap_.get());
  TransparentBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, memory.get(), 0, 0, width, height,
                 pictureTransparent_);
}

void LogonWindow::DrawScaledPicture(const DRAWITEMSTRUCT& item, const BITMAP& info) {
  // The picture goes onto the background at its own size first, so that the smoothing blends its
  // edge into the background instead of into the white that stands for it.
  const int width = static_cast<int>(info.bmWidth);
  const int height = static_cast<int>(info.bmHeight);
  UniqueMemoryDc composed(CreateCompatibleDC(item.hDC));
  UniqueGdi<HBITMAP> composedBitmap(CreateCompatibleBitmap(item.hDC, width, height));
  if (!composed || !composedBitmap) return;
  SelectionScope composedSelected(composed.get(), composedBitmap.get());
  RECT all{0, 0, width, height};
  FillRect(composed.get(), &all, background_.get());
  {
    UniqueMemoryDc memory(CreateCompatibleDC(item.hDC));
    SelectionScope selected(memory.get(), pictureBitmap_.get());
    TransparentBlt(composed.get(), 0, 0, width, height, memory.get(), 0, 0, width, height, pictureTransparent_);
  }
  // From the top-left corner as at 96 dpi; the control's own clipping keeps it to the area.
  const int previousMode = SetStretchBltMode(item.hDC, HALFTONE);
  POINT previousOrigin{};
  SetBrushOrgEx(item.hDC, 0, 0, &previousOrigin);
  StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, Scaled(width, dpi_), Scaled(height, dpi_), composed.get(), 0,
             0, width, height, SRCCOPY);
  SetBrushOrgEx(item.hDC, previousOrigin.x, previousOrigin.y, nullptr);
  SetStretchBltMode(item.hDC, previousMode);
}

void LogonWindow::SetStatus(const std::string& text) {
  SetWindowTextW(statusLine_, Wide(text).c_str());
}

void LogonWindow::Show() {
  if (!shownBefore_) {
    shownBefore_ = true;
    RECT outer{};
    GetWindowRect(window_.get(), &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window_.get(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(window_.get(), SW_SHOW);
  SetForegroundWindow(window_.get());
}

void LogonWindow::Hide() {
  ShowWindow(window_.get(), SW_HIDE);
}

void LogonWindow::SetOuterHeight(int designHeight) {
  // The design's height holds the frame computed for its styles at 96 dpi. Its client part scales as
  // the rest of the design does; the frame around it is the one the window really has, which need be
  // neither that frame scaled nor the one computed for this DPI.
  const RECT designFrame = scale_.OuterOf(RECT{}, kStyle, kExStyle, kDesignDpi);
  designClientHeight_ = designHeight - (designFrame.bottom - designFrame.top);
  FitClientArea(window_.get(), Scaled(kClientWidth, dpi_), Scaled(designClientHeight_, dpi_));
}

void LogonWindow::FocusUserName() {
  activeControl_ = username_;
  if (IsWindowVisible(window_.get())) SetFocus(username_);
}

ModalResult LogonWindow::ShowModal() {
  // Without a window nothing could ever answer; waiting would hang the run.
  if (!window_) return modalResult_ = ModalResult::Closed;
  DisabledThreadWindows others(window_.get());
  modal_ = true;
  Show();
  SetFocus(activeControl_ != nullptr ? activeControl_ : username_);
  RepaintButtons();
  modalResult_ = ModalResult::None;
  while (modalResult_ == ModalResult::None && !haltRequested_) {
    if (application_.Terminated()) {
      modalResult_ = ModalResult::Closed;
      break;
    }
    application_.HandleNextMessage();
  }
  modal_ = false;
  Hide();
  return modalResult_;
}

std::string LogonWindow::UserNameText() const {
  return TextOf(username_);
}
std::string LogonWindow::PasswordText() const {
  return TextOf(password_);
}

}  // namespace kestel
