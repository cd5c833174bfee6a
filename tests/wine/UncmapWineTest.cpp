// Drive operations against the prefix's own network provider, which connects nothing: every call
// fails, which is what the error paths need. The success paths and the arguments the provider
// receives are checked end to end, through the recording stand-in provider.
#include <gtest/gtest.h>
#include <windows.h>
#include <winnetwk.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "base/ErrorTextWin32.h"
#include "net/uncmap.h"

namespace kestel {
namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconId = 0x0440;

// What a box of this process showed, read from a second thread while the first one waits in it.
struct SeenBox {
  std::string text;
  bool owned = true;
  bool hasIcon = true;
  std::string buttons;
  bool otherWindowEnabled = true;
};

class BoxWatcher {
 public:
  BoxWatcher(const char* caption, HWND otherWindow)
      : thread_([this, caption, otherWindow] { Watch(caption, otherWindow); }) {}
  ~BoxWatcher() {
    if (thread_.joinable()) thread_.join();
  }
  std::optional<SeenBox> Result() {
    thread_.join();
    return seen_;
  }

 private:
  void Watch(const char* caption, HWND otherWindow) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    HWND box = nullptr;
    while (box == nullptr && std::chrono::steady_clock::now() < deadline) {
      box = FindBoxOfThisProcess(caption);
      if (box == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (box == nullptr) return;
    SeenBox seen;
    char text[1024] = "";
    GetDlgItemTextA(box, kMessageBoxTextId, text, sizeof text);
    seen.text = text;
    seen.owned = GetWindow(box, GW_OWNER) != nullptr;
    const HWND icon = GetDlgItem(box, kMessageBoxIconId);
    seen.hasIcon = icon != nullptr && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      char className[32] = "";
      char label[64] = "";
      GetClassNameA(child, className, sizeof className);
      GetWindowTextA(child, label, sizeof label);
      if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child)) seen.buttons += std::string(label) + ";";
    }
    seen.otherWindowEnabled = otherWindow != nullptr && IsWindowEnabled(otherWindow);
    seen_ = seen;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }

  static HWND FindBoxOfThisProcess(const char* caption) {
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", caption); w != nullptr;
         w = FindWindowExA(nullptr, w, "#32770", caption)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    return nullptr;
  }

  std::optional<SeenBox> seen_;
  std::thread thread_;
};

// A visible top-level window of the test's thread, standing for the application's other windows.
class OtherWindow {
 public:
  OtherWindow()
      : window_(CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr)) {}
  ~OtherWindow() { DestroyWindow(window_); }
  OtherWindow(const OtherWindow&) = delete;
  OtherWindow& operator=(const OtherWindow&) = delete;
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

std::string RawSystemText(DWORD code) {
  char buffer[256];
  const DWORD length = FormatMessageA(0x3200, nullptr, code, 0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

TEST(SystemErrorText, IsTheSystemsMessageWithoutItsFullStopAndLineBreak) {
  for (const DWORD code : {67u, 1326u, 1222u, 2250u, 85u, 5u}) {
    const std::string raw = RawSystemText(code);
    const std::string text = SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_EQ(raw.rfind(text, 0), 0u) << code;  // a prefix of the system's text
    EXPECT_NE(text.back(), '.') << code;
    EXPECT_GE(static_cast<unsigned char>(text.back()), 0x21) << code;
    EXPECT_EQ(raw.find_first_not_of(". \r\n\t", text.size()), std::string::npos) << code;
  }
}

TEST(SystemErrorText, IsEmptyForACodeWithoutText) {
  EXPECT_EQ(SystemErrorText(0x3FFFFF), "");
}

TEST(DriveOperations, ReturnTheProvidersCodeUnchangedAndStaySilentWhenNotAsked) {
  NETRESOURCEA resource{};
  resource.dwType = RESOURCETYPE_DISK;
  char local[] = "Q:";
  char remote[] = "\\\\127.0.0.1\\share";
  resource.lpLocalName = local;
  resource.lpRemoteName = remote;
  for (const bool noPrompting : {false, true}) {
    const DWORD expected = WNetAddConnection3A(nullptr, &resource, "", "", noPrompting ? 0 : CONNECT_INTERACTIVE);
    ASSERT_NE(expected, 0u) << "the prefix's provider connected a drive";
    EXPECT_EQ(MapDrive("Q:", remote, false, noPrompting, nullptr, "", ""), expected);
  }
  for (const bool force : {false, true})
    for (const bool updateProfile : {false, true}) {
      const DWORD expected =
          WNetCancelConnection2A("Q:", updateProfile ? CONNECT_UPDATE_PROFILE : 0, force ? TRUE : FALSE);
      ASSERT_NE(expected, 0u);
      EXPECT_EQ(UnmapDrive("Q:", false, force, updateProfile), expected);
    }
}

struct BoxCase {
  const char* caption;
  const char* firstLine;
  DWORD (*call)();
};

DWORD FailingMap() {
  return MapDrive("Q:", "\\\\127.0.0.1\\share", true, false, nullptr, "user", "secret");
}
DWORD FailingUnmap() {
  return UnmapDrive("Q:", true, true, true);
}

TEST(DriveOperations, AskedToShowAFailureTheyShowTheTextOfTheReturnedCode) {
  const BoxCase cases[] = {
      {"Error while connecting!", "An error occured while connecting:", FailingMap},
      {"Error while disconnecting", "An error occured while disconnecting:", FailingUnmap},
  };
  for (const BoxCase& c : cases) {
    OtherWindow other;
    BoxWatcher watcher(c.caption, other.Get());
    // A stale last error must not leak into the box: the provider need not set it.
    SetLastError(ERROR_ACCESS_DENIED);
    const DWORD code = c.call();
    const auto seen = watcher.Result();
    ASSERT_NE(code, 0u);
    ASSERT_NE(code, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(seen.has_value()) << "no box captioned " << c.caption;
    EXPECT_EQ(seen->text, std::string(c.firstLine) + "\r\n" + SystemErrorText(code));
    EXPECT_FALSE(seen->owned) << "the box is the application's, not a window's";
    EXPECT_FALSE(seen->hasIcon);
    EXPECT_EQ(seen->buttons, "OK;");
    EXPECT_FALSE(seen->otherWindowEnabled) << "the box holds off every window of the application";
    EXPECT_TRUE(IsWindowEnabled(other.Get())) << "and gives them back when it closes";
  }
}

}  // namespace
}  // namespace kestel
