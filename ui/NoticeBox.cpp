#include "ui/NoticeBox.h"

#include <windows.h>

#include <algorithm>

#include "base/Utf.h"
#include "ui/Application.h"
#include "ui/DisplayScale.h"
#include "ui/WinHandles.h"

namespace kestel {

namespace {

constexpr const char* kNoticeClass = "KestelNoticeBox";
// Pixel counts at 96 dpi, scaled by the box's DPI.
constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kTextId = 100;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// The same flags measure the text and draw it in the static control, so the box fits the wrap.
constexpr UINT kTextFlags = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

class NoticeBox final : private KeyboardRules {
 public:
  NoticeBox(Application& application, const std::string& text) : application_(application), text_(Wide(text)) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterWindowClass(instance, kNoticeClass, &WindowProcOf<NoticeBox>,
                        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Created where it will show, the screen's centre, so that it can tell the DPI it is sized for.
    window_.reset(CreateWindowExW(kExStyle, Wide(kNoticeClass).c_str(), Wide(application_.Title()).c_str(), kStyle,
                                  screenWidth / 2, screenHeight / 2, 0, 0, nullptr, nullptr, instance, this));
    if (!window_) return;
    label_ = CreateWindowExW(0, L"STATIC", text_.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                             window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
    ok_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0,
                          window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    const int dpi = scale_.DpiOf(window_.get());
    const SIZE client = LayOut(dpi);
    // The computed frame first, so that the window has a client whose frame can be measured.
    const RECT outer = scale_.OuterOf(RECT{0, 0, client.cx, client.cy}, kStyle, kExStyle, dpi);
    SetWindowPos(window_.get(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientArea(window_.get(), client.cx, client.cy);
    RECT placed{};
    GetWindowRect(window_.get(), &placed);
    SetWindowPos(window_.get(), nullptr, (screenWidth - (placed.right - placed.left)) / 2,
                 (screenHeight - (placed.bottom - placed.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    AttachKeyboardRules(window_.get(), this);
  }

  ~NoticeBox() {
    if (window_) AttachKeyboardRules(window_.get(), nullptr);
  }
  NoticeBox(const NoticeBox&) = delete;
  NoticeBox& operator=(const NoticeBox&) = delete;

  // Waits until the box is answered, or closes it at once when the application is ending.
  void Run() {
    if (!window_) return;
    {
      DisabledThreadWindows others(window_.get());
      ShowWindow(window_.get(), SW_SHOW);
      SetForegroundWindow(window_.get());
      SetFocus(ok_);
      while (!closed_ && !application_.Terminated()) application_.HandleNextMessage();
      // The other windows come back before this one goes, so the activation returns to them.
    }
    AttachKeyboardRules(window_.get(), nullptr);
    window_.reset();
  }

 private:
  friend LRESULT CALLBACK kestel::WindowProcOf<NoticeBox>(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Places the text and the button at dpi, in the font for it, and returns the client size that holds
  // them. The text wraps at word boundaries to at most half the screen's width.
  SIZE LayOut(int dpi) {
    UniqueGdi<HFONT> font = scale_.MessageFont(dpi);
    const int margin = Scaled(kMargin, dpi);
    const int buttonWidth = Scaled(kButtonWidth, dpi);
    const int buttonHeight = Scaled(kButtonHeight, dpi);
    const int wrapWidth = std::max(GetSystemMetrics(SM_CXSCREEN) / 2, buttonWidth);
    RECT textRect{0, 0, wrapWidth, 0};
    {
      WindowDc screen(nullptr);
      SelectionScope selected(screen.get(), font.get());
      DrawTextW(screen.get(), text_.c_str(), -1, &textRect, kTextFlags | DT_CALCRECT);
    }
    const int textWidth = std::min(static_cast<int>(textRect.right), wrapWidth);
    const int textHeight = static_cast<int>(textRect.bottom);
    const SIZE client{std::max(textWidth, buttonWidth) + 2 * margin,
                      margin + textHeight + margin + buttonHeight + margin};
    MoveWindow(label_, margin, margin, textWidth, textHeight, TRUE);
    MoveWindow(ok_, (client.cx - buttonWidth) / 2, margin + textHeight + margin, buttonWidth, buttonHeight, TRUE);
    // The controls take the new font before the old one goes.
    SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    SendMessageW(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    font_ = std::move(font);
    return client;
  }

  // Moved to a monitor of another scale: the system's suggested rectangle, then the client the layout
  // at the new DPI needs inside the frame the box has there.
  void ChangeDpi(int dpi, const RECT& suggested) {
    SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE client = LayOut(dpi);
    FitClientArea(window_.get(), client.cx, client.cy);
  }

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_DPICHANGED:
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) closed_ = true;
        return 0;
      case WM_CLOSE:
        closed_ = true;
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && ok_ != nullptr) {
          SetFocus(ok_);
          return 0;
        }
        break;
      default:
        break;
    }
    return DefWindowProcW(window_.get(), message, wParam, lParam);
  }
  // Nothing above throws.
  LRESULT OnFailure(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return DefWindowProcW(window_.get(), message, wParam, lParam);
  }

  // OK is both the default and the cancel button.
  bool PreTranslate(const MSG& msg) override {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
    closed_ = true;
    return true;
  }

  Application& application_;
  const DisplayScale scale_;
  std::wstring text_;
  UniqueGdi<HFONT> font_;
  UniqueWindow window_;
  HWND label_ = nullptr;
  HWND ok_ = nullptr;
  bool closed_ = false;
};

}  // namespace

void ShowNotice(Application& application, const std::string& text) {
  NoticeBox(application, text).Run();
}

}  // namespace kestel
