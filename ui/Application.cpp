#include "ui/Application.h"

#include <commctrl.h>

#include "base/Utf.h"

namespace kestel {

namespace {

constexpr const wchar_t* kKeyboardRulesProperty = L"KestelKeyboardRules";

// Handles one message: a key meant for one of our windows meets that window's keyboard rules first.
void HandleMessage(MSG& msg) {
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd != nullptr) {
    auto* rules = static_cast<KeyboardRules*>(GetPropW(GetAncestor(msg.hwnd, GA_ROOT), kKeyboardRulesProperty));
    if (rules != nullptr && rules->PreTranslate(msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

// The manifest's dependency makes the name comctl32.dll resolve to version 6, which draws the fields
// and buttons as today's Windows does; without it the system's version 5 is loaded and the controls
// keep their classic look. Either way a failure here leaves user32's own controls, which still work.
Application::Application() : commonControls_(LoadSystemLibrary("comctl32.dll")) {
  if (!commonControls_) return;
  if (const auto init = ProcedureOf<decltype(InitCommonControlsEx)>(commonControls_.get(), "InitCommonControlsEx")) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    init(&classes);
  }
}

void Application::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Terminate();
      continue;
    }
    HandleMessage(msg);
  }
}

void Application::EndSession() {
  if (sessionEnded_) return;
  sessionEnded_ = true;
  Terminate();
  if (whenSessionEnds_) whenSessionEnds_();
}

void Application::HandleNextMessage() {
  // GetMessage would handle a message sent from another thread or process (a button pressed by UI
  // automation, a close) inside its wait and go on waiting, so a modal display answered that way
  // would stay open until some posted message came by. This wait returns for sent messages too, and
  // the caller looks at its mark again after each one.
  MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;  // only sent messages: handled already
  if (msg.message == WM_QUIT) {
    Terminate();
    return;
  }
  HandleMessage(msg);
}

void RegisterWindowClass(HINSTANCE instance, const char* className, WNDPROC procedure, HBRUSH background) {
  // A Unicode class: its windows, and the controls created the same way, take every letter whole.
  const std::wstring name = Wide(className);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = background;
  wc.lpszClassName = name.c_str();
  RegisterClassExW(&wc);
}

void AttachKeyboardRules(HWND topLevel, KeyboardRules* rules) {
  if (rules != nullptr)
    SetPropW(topLevel, kKeyboardRulesProperty, rules);
  else
    RemovePropW(topLevel, kKeyboardRulesProperty);
}

DisabledThreadWindows::DisabledThreadWindows(HWND keep) {
  struct Search {
    HWND keep;
    std::vector<HWND>* found;
  } search{keep, &disabled_};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        if (window != s->keep && IsWindowVisible(window) && IsWindowEnabled(window)) s->found->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  for (HWND window : disabled_) EnableWindow(window, FALSE);
}

DisabledThreadWindows::~DisabledThreadWindows() {
  for (HWND window : disabled_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
}

}  // namespace kestel
