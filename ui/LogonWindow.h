// The status and logon window: one line of status while the run works, and the logon dialog when
// credentials are missing. It is the application's main window.
#pragma once

#include <windows.h>

#include <string>

#include "ui/Application.h"
#include "ui/ControlIds.h"
#include "ui/DialogKeys.h"
#include "ui/DisplayScale.h"
#include "ui/ModalResult.h"
#include "ui/WinHandles.h"

namespace kestel {

class LogonWindow final : private KeyboardRules {
 public:
  // Creates the native window, hidden. The application must outlive the window.
  LogonWindow(HINSTANCE instance, Application& application);
  ~LogonWindow();
  LogonWindow(const LogonWindow&) = delete;
  LogonWindow& operator=(const LogonWindow&) = delete;

  HWND Handle() const noexcept { return window_.get(); }

  void SetStatus(const std::string& text);
  // Non-modal show: centred on the screen the first time, brought to the front.
  void Show();
  void Hide();
  // The outer height, frame and caption included, as the 96-dpi design gives it: the part inside the
  // frame computed at 96 dpi is the client, which scales with the design inside the frame the window
  // really has. Width and position stay.
  void SetOuterHeight(int designHeight);
  // Makes username the control that has (or, once shown, will have) the focus.
  void FocusUserName();
  // Disables the other top-level windows, handles messages until the modal result is set.
  ModalResult ShowModal();
  ModalResult LastModalResult() const noexcept { return modalResult_; }
  // True once Cancel was chosen: the run halts at once.
  bool HaltRequested() const noexcept { return haltRequested_; }
  std::string UserNameText() const;
  std::string PasswordText() const;

  void LogonClick();
  void CancelClick();

 private:
  friend LRESULT CALLBACK WindowProcOf<LogonWindow>(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnFailure(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  bool PreTranslate(const MSG& msg) override;
  void CreateControls(HINSTANCE instance);
  void LayOut(int clientWidth, int clientHeight);
  // The window moved to a monitor of another scale: the suggested rectangle is the system's.
  void ChangeDpi(int dpi, const RECT& suggested);
  void OnActivate(bool active);
  void OnCommand(int id, int code);
  void ClickButton(dialogkeys::Control button);
  void DrawButton(const DRAWITEMSTRUCT& item, dialogkeys::Control button);
  void DrawPicture(const DRAWITEMSTRUCT& item);
  void DrawScaledPicture(const DRAWITEMSTRUCT& item, const BITMAP& info);
  void RepaintButtons();
  dialogkeys::Control ControlOf(HWND control) const;
  HWND HandleOf(dialogkeys::Control control) const;

  Application& application_;
  DisplayScale scale_;
  int dpi_ = kDesignDpi;
  // The client's height in the 96-dpi design: the status display's, then the dialog's.
  int designClientHeight_;
  UniqueGdi<HFONT> font_;
  UniqueGdi<HBRUSH> background_;
  UniqueGdi<HBITMAP> pictureBitmap_;
  COLORREF pictureTransparent_ = RGB(255, 255, 255);
  UniqueWindow window_;
  HWND statusLine_ = nullptr;
  HWND tagline_ = nullptr;
  HWND picture_ = nullptr;
  HWND username_ = nullptr;
  HWND password_ = nullptr;
  HWND logonButton_ = nullptr;
  HWND cancelButton_ = nullptr;
  HWND activeControl_ = nullptr;
  bool shownBefore_ = false;
  bool modal_ = false;
  ModalResult modalResult_ = ModalResult::None;
  bool haltRequested_ = false;
};

}  // namespace kestel
