#include "ui/main.h"

#include "env/EnvironWin32.h"

namespace kestel {

// Stand-in until the real window lands: a plain window whose caption is the status line.
TForm1* Form1 = nullptr;

namespace Application {
namespace {
std::string g_title;
bool g_terminated = false;
}  // namespace
void SetTitle(const std::string& title) { g_title = title; }
const std::string& Title() { return g_title; }
void ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      g_terminated = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
bool Terminated() { return g_terminated; }
}  // namespace Application

TForm1::TForm1(HINSTANCE instance) : Environment1(TakeEnvironmentSnapshot()) {
  window_ = CreateWindowExA(0, "STATIC", "Searching", WS_OVERLAPPED | WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 280,
                            80, nullptr, nullptr, instance, nullptr);
}
TForm1::~TForm1() {
  if (window_) DestroyWindow(window_);
}
void TForm1::SetStatus(const std::string& text) { SetWindowTextA(window_, text.c_str()); }
void TForm1::Show() { ShowWindow(window_, SW_SHOW); }
void TForm1::Hide() { ShowWindow(window_, SW_HIDE); }
void TForm1::SetOuterHeight(int) {}
void TForm1::FocusUserName() {}
int TForm1::ShowModal() { return modalResult_ = 2; }
std::string TForm1::UserNameText() const { return {}; }
std::string TForm1::PasswordText() const { return {}; }
void TForm1::LogonClick() { modalResult_ = 1; }
void TForm1::Button1Click() { haltRequested_ = true; }

}  // namespace kestel
