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
  NoticeBox(Application& application, const std::string& text) : application_(application) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring wideText = Wide(text);
    RegisterWindowClass(instance, kNoticeClass, &WindowProcOf<NoticeBox>,
                        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Created where it will show, the screen's centre, so that it can tell the DPI it is sized for.
    window_.reset(CreateWindowExW(kExStyle, Wide(kNoticeClass).c_str(), Wide(application_.Title()).c_str(), kStyle, screenWidth / 2,
                                  screenHeight / 2, 0, 0, nullptr, nullptr, instance, this));
    if (!window_) return;
    const DisplayScale scale;
    const int dpi = scale.DpiOf(window_.get());
    font_ = scale.MessageFont(dpi);
    const int margin = Scaled(kMargin, dpi);
    const int buttonWidth = Scaled(kButtonWidth, dpi);
    const int buttonHeight = Scaled(kButtonHeight, dpi);

    // Wrap at word boundaries to at most half the screen's width.
    RECT textRect{0, 0, std::max(screenWidth / 2, buttonWidth), 0};
    {
      WindowDc screen(nullptr);
      SelectionScope selected(screen.get(), font_.get());
      DrawTextW(screen.get(), wideText.c_str(), -1, &textRect, kTextFlags | DT_CALCRECT);
    }
    const int textWidth = std::min(static_cast<int>(textRect.right), std::max(screenWidth / 2, buttonWidth));
    const int textHeight = static_cast<int>(textRect.bottom);
    const int clientWidth = std::max(textWidth, buttonWidth) + 2 * margin;
    const int clientHeight = margin + textHeight + margin + buttonHeight + margin;

    const RECT outer = scale.OuterOf(RECT{0, 0, clientWidth, clientHeight}, kStyle, kExStyle, dpi);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window_.get(), nullptr, (screenWidth - width) / 2, (screenHeight - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HWND label = CreateWindowExW(0, L"STATIC", wideText.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, margin,
                                 margin, textWidth, textHeight, window_.get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), instance, nullptr);
    ok_ = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                          (clientWidth - buttonWidth) / 2, margin + textHeight + margin, buttonWidth, buttonHeight,
                          window_.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SendMessageW(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
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

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
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
  UniqueGdi<HFONT> font_;
  UniqueWindow window_;
  HWND ok_ = nullptr;
  bool closed_ = false;
};

}  // namespace

void ShowNotice(Application& application, const std::string& text) {
  NoticeBox(application, text).Run();
}

}  // namespace kestel
