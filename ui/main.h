// The status and logon window, Form1, and the application around it.
#pragma once

#include <windows.h>

#include <string>

#include "env/Environ.h"

namespace kestel {

// The application: its title, its message pass and its "asked to end" mark.
namespace Application {
void SetTitle(const std::string& title);
const std::string& Title();
// Handles every window message already waiting; never waits for a new one.
void ProcessMessages();
// Set once a close request reached the main window outside a modal display.
bool Terminated();
}  // namespace Application

class TForm1 {
 public:
  // Creates the native window, hidden, and takes the environment snapshot into Environment1.
  explicit TForm1(HINSTANCE instance);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const noexcept { return window_; }
  TEnvironment Environment1;

  void SetStatus(const std::string& text);
  void Show();
  void Hide();
  void SetOuterHeight(int height);
  void FocusUserName();
  // Disables the other top-level windows, handles messages until the modal result is set.
  int ShowModal();
  int ModalResult() const noexcept { return modalResult_; }
  // True once Cancel was chosen: the run halts at once.
  bool HaltRequested() const noexcept { return haltRequested_; }
  std::string UserNameText() const;
  std::string PasswordText() const;

  void LogonClick();
  void Button1Click();

 private:
  HWND window_ = nullptr;
  int modalResult_ = 0;
  bool haltRequested_ = false;
  friend struct Form1Impl;
};

// The one instance, created by the run at start-up.
extern TForm1* Form1;

}  // namespace kestel
