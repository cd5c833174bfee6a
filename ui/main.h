// The status and logon window, Form1, and the application around it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "env/Environ.h"
#include "ui/ControlIds.h"
#include "ui/DialogKeys.h"
#include "ui/ModalResult.h"
#include "ui/WinHandles.h"

namespace kestel {

// The application: its title, its message pass and its "asked to end" mark.
namespace Application {
void SetTitle(const std::string& title);
const std::string& Title();
// Handles every window message already waiting; never waits for a new one.
void ProcessMessages();
// Waits until a message has come and handles it: a posted one here, a sent one inside the wait. A
// WM_QUIT marks the application as ending instead. Every modal display waits here, so anything that
// answers it, sent or posted, is seen at once.
void HandleNextMessage();
// Handles one message: a key meant for one of our windows meets that window's keyboard rules first.
void HandleMessage(MSG& msg);
// Set once a close request reached the main window outside a modal display; never cleared.
bool Terminated();
void Terminate();
}  // namespace Application

// Keyboard rules of one of our top-level windows, consulted before a key message is dispatched to
// the window or any of its controls. PreTranslate returns true when it used the message up.
class KeyboardRules {
 public:
  virtual bool PreTranslate(const MSG& msg) = 0;

 protected:
  ~KeyboardRules() = default;
};
void AttachKeyboardRules(HWND topLevel, KeyboardRules* rules);

// While alive, every other enabled top-level window of this thread is disabled, as a modal display
// requires; they are enabled again when it ends.
class DisabledThreadWindows {
 public:
  explicit DisabledThreadWindows(HWND keep);
  ~DisabledThreadWindows();
  DisabledThreadWindows(const DisabledThreadWindows&) = delete;
  DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

 private:
  std::vector<HWND> disabled_;
};

class TForm1 final : private KeyboardRules {
 public:
  // Creates the native window, hidden, and takes the environment snapshot into Environment1.
  explicit TForm1(HINSTANCE instance);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const noexcept { return window_.get(); }
  TEnvironment Environment1;

  void SetStatus(const std::string& text);
  // Non-modal show: centred on the screen the first time, brought to the front.
  void Show();
  void Hide();
  // The outer height, frame and caption included; width and position stay.
  void SetOuterHeight(int height);
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
  void Button1Click();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool PreTranslate(const MSG& msg) override;
  void CreateComponents(HINSTANCE instance);
  void LayOut(int clientWidth, int clientHeight);
  void OnActivate(bool active);
  void OnCommand(int id, int code);
  void ClickButton(dialogkeys::Control button);
  void DrawButton(const DRAWITEMSTRUCT& item, dialogkeys::Control button);
  void DrawImage(const DRAWITEMSTRUCT& item);
  void RepaintButtons();
  dialogkeys::Control ControlOf(HWND control) const;
  HWND HandleOf(dialogkeys::Control control) const;

  UniqueGdi<HFONT> font_;
  UniqueGdi<HBRUSH> background_;
  UniqueGdi<HBITMAP> picture_;
  COLORREF pictureTransparent_ = RGB(255, 255, 255);
  UniqueWindow window_;
  HWND status_ = nullptr;
  HWND label1_ = nullptr;
  HWND image1_ = nullptr;
  HWND username_ = nullptr;
  HWND password_ = nullptr;
  HWND logon_ = nullptr;
  HWND button1_ = nullptr;
  HWND activeControl_ = nullptr;
  bool shownBefore_ = false;
  bool modal_ = false;
  ModalResult modalResult_ = ModalResult::None;
  bool haltRequested_ = false;
};

// The one instance, created by the run at start-up.
extern TForm1* Form1;

}  // namespace kestel
