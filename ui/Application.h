// The application around our windows, and what each top-level window of ours is built from: its
// class, its way back to the object it belongs to, its keyboard rules and its modal display.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/SystemLibrary.h"

namespace kestel {

// The application: its title, its message pass and its "asked to end" mark. The host owns the one
// instance; every window of ours that waits for an answer waits through it.
class Application {
 public:
  // Registers the common controls that every window of ours is built from.
  Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  void SetTitle(std::string title) { title_ = std::move(title); }
  const std::string& Title() const noexcept { return title_; }
  // Set once a close request reached the main window outside a modal display, a WM_QUIT came or the
  // session ended; never cleared.
  bool Terminated() const noexcept { return terminated_; }
  void Terminate() noexcept { terminated_ = true; }
  // Set once Windows said the session ends (Restart Manager's request to close included); never
  // cleared. It also marks the application as ending, so that no modal display waits for an answer.
  bool SessionEnded() const noexcept { return sessionEnded_; }
  // Called inside the system's message, and so is whenSessionEnds: the process may be ended as soon
  // as that message returns.
  void EndSession();
  void WhenSessionEnds(std::function<void()> whenSessionEnds) { whenSessionEnds_ = std::move(whenSessionEnds); }

  // Handles every window message already waiting; never waits for a new one.
  void ProcessMessages();
  // Waits until a message has come and handles it: a posted one here, a sent one inside the wait. A
  // WM_QUIT marks the application as ending instead. Every modal display waits here, so anything that
  // answers it, sent or posted, is seen at once.
  void HandleNextMessage();

 private:
  // Stays loaded while any window may use its controls: their window procedures live in it.
  UniqueModule commonControls_;
  std::string title_;
  bool terminated_ = false;
  bool sessionEnded_ = false;
  std::function<void()> whenSessionEnds_;
};

// Registers a window class of this module with the arrow cursor and the given background. A class
// already there, from an earlier window of the same kind, is fine.
void RegisterWindowClass(HINSTANCE instance, const char* className, WNDPROC procedure, HBRUSH background);

// The object a window of ours belongs to: CreateWindowEx's creation parameter, kept with the window
// from WM_NCCREATE on. Call it first in the window procedure; null for messages before that one.
template <class Owner>
Owner* OwnerOf(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The window procedure of every window of ours: the owner handles the messages of its own window in
// OnMessage (those that come before CreateWindowEx has returned go to the default procedure), and
// says in OnFailure what an exception from it becomes, since none may unwind through the system's
// frames. OnFailure is called inside the handler, so it may rethrow to look at the exception.
template <class Owner>
LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Owner* self = OwnerOf<Owner>(window, message, lParam);
  if (self == nullptr || self->window_.get() != window) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    return self->OnFailure(message, wParam, lParam);
  }
}

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

}  // namespace kestel
