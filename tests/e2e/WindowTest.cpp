// The status and logon window of the real kestel.exe: how it looks, what it shows as a run goes by,
// and how the logon dialog answers the mouse, the keyboard and the close box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../ui/ControlIds.h"
#include "../tools/MprLog.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

constexpr const char* kCaption = "Kestel: Network Roaming Software";
constexpr COLORREF kBackground = RGB(219, 230, 242);
constexpr COLORREF kFontColour = RGB(26, 26, 198);
constexpr const char* kLogonStatus = "Please provide logon details for 127.0.0.1";

// ---- Helpers --------------------------------------------------------------------------------------

HWND WaitForLogonWindow(const Process& process) {
  const auto window = driver::WaitForWindow(process.Pid(), "", kCaption, kStartTimeout);
  return window.value_or(nullptr);
}

HWND Child(HWND form, int id) {
  return driver::FindChildById(form, id).value_or(nullptr);
}

// The text in one call: a length read first could belong to the text before a change.
std::string TextNow(HWND window) {
  char text[512] = "";
  const int length = GetWindowTextA(window, text, sizeof text);
  return std::string(text, static_cast<std::size_t>(std::max(length, 0)));
}

bool InDialog(HWND form) {
  return driver::Visible(form) && driver::OuterSize(form).height == 210;
}

HWND WaitForDialog(const Process& process) {
  HWND form = WaitForLogonWindow(process);
  if (form == nullptr || !driver::WaitUntil([&] { return InDialog(form); }, kStartTimeout)) return nullptr;
  // The dialog is ready for input once its focus has arrived in username.
  driver::WaitUntil([&] { return driver::FocusedChild(form) == Child(form, kIdUserName); }, Milliseconds{5000});
  return form;
}

// Holds the run in the first drive cancellation, while the window shows nothing but status and a
// message pass is still to come before the logon dialog: the stand-in provider waits for the event.
class StatusDisplayHold {
 public:
  StatusDisplayHold()
      : name_("kestel-hold-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64())),
        event_(CreateEventA(nullptr, TRUE, FALSE, name_.c_str())) {}
  ~StatusDisplayHold() { Release(); }
  StatusDisplayHold(const StatusDisplayHold&) = delete;
  StatusDisplayHold& operator=(const StatusDisplayHold&) = delete;

  void AddTo(StartOptions& options) const { options.env.emplace_back("KESTEL_MPR_HOLD", name_); }
  // The shown window, once the run stands in the cancellation; nullptr when it never got there.
  HWND WaitUntilHeld(const Process& process) const {
    HWND form = WaitForLogonWindow(process);
    const bool held =
        form != nullptr &&
        driver::WaitUntil(
            [&] { return driver::Visible(form) && TextNow(Child(form, kIdStatusLine)) == "Initialising.."; },
            kStartTimeout);
    return held ? form : nullptr;
  }
  void Release() const { SetEvent(event_.get()); }

 private:
  std::string name_;
  driver::UniqueHandle event_;
};

// Pixels of a screen rectangle, read in one go.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

struct DcReleaser {
  void operator()(HDC dc) const noexcept { ReleaseDC(nullptr, dc); }
};
struct DcDeleter {
  void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
struct BitmapDeleter {
  void operator()(HBITMAP bitmap) const noexcept { DeleteObject(bitmap); }
};

// Pixels of a rectangle of source (the screen, or a drawing of the test's own).
Capture CaptureFrom(HDC source, const RECT& r) {
  Capture capture;
  capture.width = r.right - r.left;
  capture.height = r.bottom - r.top;
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> memory(CreateCompatibleDC(source));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter> dib(
      CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || bits == nullptr) return {};
  HGDIOBJ previous = SelectObject(memory.get(), dib.get());
  BitBlt(memory.get(), 0, 0, capture.width, capture.height, source, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* bgra = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < capture.width * capture.height; ++i) {
    const unsigned char* p = bgra + 4 * i;
    capture.pixels.push_back(RGB(p[2], p[1], p[0]));
  }
  SelectObject(memory.get(), previous);
  return capture;
}

Capture CaptureScreen(const RECT& r) {
  std::unique_ptr<std::remove_pointer_t<HDC>, DcReleaser> screen(GetDC(nullptr));
  return CaptureFrom(screen.get(), r);
}

bool IsPurple(COLORREF c) {
  return GetRValue(c) > GetGValue(c) + 30 && GetBValue(c) > GetGValue(c) + 30;
}

RECT ClientOnScreen(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

// Keeps a picture of the window as test output, beside the build's programs.
void KeepScreenshot(HWND window, const std::string& name) {
  const Capture c = CaptureScreen(driver::OuterRect(window));
  if (c.pixels.empty()) return;
  const std::string dir = ToolsDir() + "test-output\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  const int stride = (c.width * 3 + 3) / 4 * 4;
  std::string bmp(54 + static_cast<std::size_t>(stride * c.height), '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(c.width));
  put32(22, static_cast<std::uint32_t>(c.height));
  put32(26, 1u | (24u << 16));
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const COLORREF colour = c.At(x, c.height - 1 - y);
      const std::size_t at = 54 + static_cast<std::size_t>(y * stride + x * 3);
      bmp[at] = static_cast<char>(GetBValue(colour));
      bmp[at + 1] = static_cast<char>(GetGValue(colour));
      bmp[at + 2] = static_cast<char>(GetRValue(colour));
    }
  driver::UniqueHandle file(
      CreateFileA((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), bmp.data(), static_cast<DWORD>(bmp.size()), &written, nullptr);
}

std::vector<testing::mpr::Call> MappingsOf(const Sandbox& box) {
  std::vector<testing::mpr::Call> added;
  const auto calls = testing::mpr::ReadLog(box.PathOf("mpr.log"));
  if (calls)
    for (const auto& call : *calls)
      if (call.function == testing::mpr::kAddConnection) added.push_back(call);
  return added;
}

std::string IniValue(const Sandbox& box, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA("user", key, "(missing)", value, sizeof value, box.PathOf("kestel.ini").c_str());
  return value;
}

// Enough drives that cancelling them at start-up keeps the status display up for a moment.
constexpr int kDrives = 3;

// Lines of section mappings: X:, then as many more devices as asked for, each cancelled at start-up.
std::string Drives(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i)
    lines += (i == 0 ? std::string("X:") : "LPT" + std::to_string(i)) + "=\\\\127.0.0.1\\share\r\n";
  return lines;
}

// A home run that lacks credentials, maps one drive and runs one program that records its start.
std::string HomeIniWithoutCredentials(const Sandbox& box, const std::string& user = {}, int drives = 1) {
  // A stored away set, so that the run's first-time capture writes nothing to the file either.
  return "[connection]\r\nserver=127.0.0.1\r\n[awayinternetsettings]\r\nawayproxyenabled=0\r\n"
         "awayproxyserver=\r\nawayproxyexceptions=\r\nawayhomepage=about:blank\r\n" +
         (user.empty() ? "" : "[user]\r\nusername=" + user + "\r\n") + "[mappings]\r\n" + Drives(drives) +
         "[localpostscripts]\r\n1=" + box.RecordArgsCommand("post.log") + "\r\n";
}

StartOptions LoggingMappings(const Sandbox& box, const std::string& rules = {}) {
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", box.PathOf("mpr.log")}};
  if (!rules.empty()) options.env.emplace_back("KESTEL_MPR_RULES", rules);
  return options;
}

// ---- The status window ----------------------------------------------------------------------------

TEST(StatusWindow, LooksAsDesignedWhileTheRunGoesOn) {
  const Sandbox box;
  box.WriteIni("[connection]\r\nserver=nosuchhost.invalid\r\n[awaypostscripts]\r\n1=" +
               box.RecordArgsCommand("away.log", "--sleep 3000") + "\r\n");
  Process process = box.Start();
  HWND form = WaitForLogonWindow(process);
  ASSERT_NE(form, nullptr);
  HWND status = Child(form, kIdStatusLine);
  ASSERT_NE(status, nullptr);
  // The away program keeps the run, and so the painted status line, still.
  ASSERT_TRUE(driver::WaitUntil([&] { return driver::StoredText(status) == "Running Away Scripts"; }, kStartTimeout));

  EXPECT_EQ(driver::StoredText(form), kCaption);
  EXPECT_EQ(driver::ClientSize(form), (driver::Size{274, 47}));
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(form, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(form, GWL_EXSTYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), DWORD{WS_CAPTION | WS_SYSMENU});
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u) << "fixed size, close box only";
  EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0u) << "dialog frame without a caption icon";

  const RECT outer = driver::OuterRect(form);
  EXPECT_LE(std::abs((outer.left + outer.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs((outer.top + outer.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);

  Capture client;
  driver::WaitUntil(
      [&] {
        client = CaptureScreen(ClientOnScreen(form));
        return client.height == 47 && client.At(137, 25) == kBackground;
      },
      Milliseconds{5000});
  ASSERT_EQ(client.width, 274);
  ASSERT_EQ(client.height, 47);
  // Rows 17 to 32 lie between the status line and the bottom line: only background there.
  for (int y = 17; y < 33; ++y)
    for (int x = 0; x < client.width; x += 7) ASSERT_EQ(client.At(x, y), kBackground) << x << "," << y;
  auto count = [&](int top, int bottom, COLORREF colour) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < client.width; ++x) n += client.At(x, y) == colour ? 1 : 0;
    return n;
  };
  EXPECT_GT(count(0, 17, kFontColour), 20) << "the status text is drawn in the window's font colour";
  EXPECT_GT(count(0, 17, kBackground), 2000) << "on the window's background";
  EXPECT_GT(count(33, 47, kFontColour), 20) << "so is the bottom line";
  // The logon controls exist, out of sight below the client area.
  for (const int id : {kIdPicture, kIdUserName, kIdPassword, kIdLogon, kIdCancel})
    EXPECT_NE(Child(form, id), nullptr) << id;
  KeepScreenshot(form, "status-window.bmp");
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

struct SequenceCase {
  const char* name;
  bool home;
  std::vector<std::string> expected;  // every text the run sets, in order
  friend void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }
};

class StatusTexts : public ::testing::TestWithParam<SequenceCase> {};

// Every text the window shows is one the run sets, and they come in the run's order; the texts the
// run stays on long enough (the start and the programs) are always seen.
TEST_P(StatusTexts, FollowTheRunInOrder) {
  const SequenceCase& c = GetParam();
  const Sandbox box;
  const std::string program = box.RecordArgsCommand("program.log", "--sleep 1500");
  box.WriteIni(c.home ? "[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=u\r\npassword=p\r\n"
                        "[mappings]\r\nX:=\\\\127.0.0.1\\share\r\n[localpostscripts]\r\n1=" +
                            program + "\r\n"
                      : "[connection]\r\nserver=nosuchhost.invalid\r\n[awaypostscripts]\r\n1=" + program + "\r\n");
  Process process = box.Start();
  HWND form = WaitForLogonWindow(process);
  ASSERT_NE(form, nullptr);
  HWND status = Child(form, kIdStatusLine);
  std::vector<std::string> seen;
  driver::WaitUntil(
      [&] {
        const std::string text = TextNow(status);
        if (!text.empty() && (seen.empty() || seen.back() != text)) seen.push_back(text);
        return process.WaitExit(Milliseconds{0}).has_value();
      },
      kExitTimeout, Milliseconds{1});
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));

  std::size_t next = 0;
  for (const std::string& text : seen) {
    const auto at = std::find(c.expected.begin() + static_cast<std::ptrdiff_t>(next), c.expected.end(), text);
    ASSERT_NE(at, c.expected.end()) << "\"" << text << "\" is unknown or out of order";
    next = static_cast<std::size_t>(at - c.expected.begin()) + 1;
  }
  EXPECT_EQ(seen.back(), c.expected.back());
}

INSTANTIATE_TEST_SUITE_P(
    StatusWindow, StatusTexts,
    ::testing::Values(SequenceCase{"Away",
                                   false,
                                   {"Searching", "Initialising..", "Searching for server nosuchhost.invalid",
                                    "Running Away Scripts"}},
                      SequenceCase{
                          "Home",
                          true,
                          {"Searching", "Initialising..", "Searching for server 127.0.0.1", "Mapping Drives 127.0.0.1",
                           "Configuring Internet Settings", "Running Post Logon Program"}}),
    CaseName);

// A key pressed while only the status shows reaches nothing: Enter or Space would otherwise confirm
// a dialog nobody saw, and Esc would end the run.
TEST(StatusWindow, KeysDuringTheStatusDisplayDoNothing) {
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box));
  const StatusDisplayHold hold;
  StartOptions options = LoggingMappings(box);
  hold.AddTo(options);
  Process process = box.Start(options);
  HWND form = hold.WaitUntilHeld(process);
  ASSERT_NE(form, nullptr);
  // Typed at the frame, and straight at the button the system would have focused first.
  for (HWND target : {form, Child(form, kIdLogon)})
    for (const WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}, WPARAM{VK_ESCAPE}}) {
      PostMessageA(target, WM_KEYDOWN, key, 1);
      PostMessageA(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    }
  hold.Release();
  HWND dialog = WaitForDialog(process);
  ASSERT_NE(dialog, nullptr) << "Esc must not have ended the run";
  EXPECT_TRUE(driver::Enabled(Child(dialog, kIdLogon))) << "Enter or Space must not have run LogonClick";
  EXPECT_TRUE(process.Running());
  ASSERT_TRUE(driver::PostKey(dialog, driver::Key::Escape));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  EXPECT_TRUE(MappingsOf(box).empty());
}

// A close request while only the status shows marks the application as ending: the window stays,
// the run goes on, the later dialog ends at once as though closed and the later notice closes itself.
TEST(StatusWindow, CloseDuringTheStatusDisplayEndsTheLaterDialogAndNotice) {
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box, {}, kDrives));
  const std::string before = box.ReadIni().value_or("");
  const StatusDisplayHold hold;
  StartOptions options = LoggingMappings(box, "add:*=53");
  hold.AddTo(options);
  Process process = box.Start(options);
  HWND form = hold.WaitUntilHeld(process);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(driver::RequestClose(form));
  hold.Release();
  // Nobody answers anything from here on: the run must end by itself.
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  const auto mapped = MappingsOf(box);
  ASSERT_EQ(mapped.size(), static_cast<std::size_t>(kDrives));
  for (const auto& call : mapped) {
    EXPECT_EQ(call.Text("user"), "NOUSER") << "the dialog ended with 2: the marker credentials stay";
    EXPECT_EQ(call.Text("password"), "NOPASS");
  }
  EXPECT_EQ(box.ReadIni().value_or(""), before);
}

// ---- The logon dialog -----------------------------------------------------------------------------

TEST(LogonDialog, GrowsDownwardsWithTheFocusInUserName) {
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box));
  Process process = box.Start(LoggingMappings(box));
  HWND form = WaitForLogonWindow(process);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(driver::WaitUntil([&] { return driver::Visible(form); }, kStartTimeout, Milliseconds{1}));
  const RECT statusRect = driver::OuterRect(form);
  ASSERT_NE(WaitForDialog(process), nullptr);

  const RECT dialogRect = driver::OuterRect(form);
  EXPECT_EQ(dialogRect.bottom - dialogRect.top, 210);
  EXPECT_EQ(dialogRect.right - dialogRect.left, statusRect.right - statusRect.left) << "width kept";
  EXPECT_EQ(dialogRect.left, statusRect.left) << "not centred again";
  EXPECT_EQ(dialogRect.top, statusRect.top);
  EXPECT_EQ(driver::FocusedChild(form), Child(form, kIdUserName));
  EXPECT_EQ(driver::StoredText(Child(form, kIdStatusLine)), kLogonStatus);
  const driver::Size client = driver::ClientSize(form);
  RECT tagline{};
  GetWindowRect(Child(form, kIdTagline), &tagline);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&tagline), 2);
  EXPECT_EQ(tagline.bottom, client.height) << "the tagline follows the bottom edge";
  EXPECT_EQ(driver::StoredText(Child(form, kIdLogon)), "Logon");
  EXPECT_EQ(driver::StoredText(Child(form, kIdCancel)), "Cancel");
  EXPECT_EQ(GetWindowLongPtrA(Child(form, kIdPassword), GWL_STYLE) & ES_PASSWORD, ES_PASSWORD);
  EXPECT_EQ(SendMessageA(Child(form, kIdPassword), EM_GETPASSWORDCHAR, 0, 0), '*');

  // The picture is drawn from the top-left of its area (8, 48), transparent where it is white.
  Capture c;
  driver::WaitUntil(
      [&] {
        c = CaptureScreen(ClientOnScreen(form));
        // Painted once the field shows purple, the password edit its background and the last button its face.
        return c.height >= 153 && IsPurple(c.At(8 + 34, 48 + 100)) && c.At(104 + 76, 104 + 11) == kBackground &&
               c.At(184 + 5, 136 + 5) != kBackground;
      },
      Milliseconds{5000});
  ASSERT_GE(c.height, 153);
  EXPECT_EQ(c.At(8, 48), kBackground) << "the picture's white corner lets the background through";
  EXPECT_TRUE(IsPurple(c.At(8 + 34, 48 + 100)))
      << "the field near the picture's bottom: " << std::hex << c.At(8 + 34, 48 + 100);
  for (int x = 8 + 69; x < 8 + 81; ++x) EXPECT_EQ(c.At(x, 48 + 50), kBackground) << "area beyond the picture";
  KeepScreenshot(form, "logon-dialog.bmp");

  ASSERT_TRUE(driver::PressButton(form, "Cancel"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

enum class Confirm { ClickLogon, EnterInPassword, EnterInUserName };

struct LogonCase {
  const char* name;
  const char* user;
  const char* password;
  Confirm how;
  friend void PrintTo(const LogonCase& c, std::ostream* os) { *os << c.name; }
};

class LogonConfirms : public ::testing::TestWithParam<LogonCase> {};

TEST_P(LogonConfirms, MapsWithTheTypedTextsAndWritesThemBack) {
  const LogonCase& c = GetParam();
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box));
  Process process = box.Start(LoggingMappings(box));
  HWND form = WaitForDialog(process);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(driver::SetText(Child(form, kIdUserName), c.user));
  ASSERT_TRUE(driver::SetText(Child(form, kIdPassword), c.password));
  switch (c.how) {
    case Confirm::ClickLogon:
      ASSERT_TRUE(driver::PressButton(form, "Logon"));
      break;
    case Confirm::EnterInPassword:
      ASSERT_TRUE(driver::PostKey(form, driver::Key::Tab));
      ASSERT_TRUE(driver::WaitUntil([&] { return driver::FocusedChild(form) == Child(form, kIdPassword); },
                                    Milliseconds{5000}));
      ASSERT_TRUE(driver::PostKey(form, driver::Key::Return));
      break;
    case Confirm::EnterInUserName:
      ASSERT_TRUE(driver::PostKey(form, driver::Key::Return));
      break;
  }
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  const auto mapped = MappingsOf(box);
  ASSERT_EQ(mapped.size(), 1u);
  EXPECT_EQ(mapped[0].Text("user"), c.user);
  EXPECT_EQ(mapped[0].Text("password"), c.password);
  EXPECT_EQ(IniValue(box, "username"), c.user);
  EXPECT_EQ(IniValue(box, "password"), c.password);
  EXPECT_EQ(box.ReadRecords("post.log").value_or(std::vector<testing::RecordedStart>{}).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(LogonDialog, LogonConfirms,
                         ::testing::Values(LogonCase{"Click", "alice", "s3cret pass", Confirm::ClickLogon},
                                           LogonCase{"BothEmpty", "", "", Confirm::ClickLogon},
                                           LogonCase{"EnterInPassword", "bob", "pw", Confirm::EnterInPassword},
                                           LogonCase{"EnterInUserName", "carol", "", Confirm::EnterInUserName}),
                         CaseName);

enum class Abandon { EscInUserName, EscInPassword, ClickCancel, ShiftTabToCancelThenEnter };

struct CancelCase {
  const char* name;
  Abandon how;
  friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }
};

class LogonCancels : public ::testing::TestWithParam<CancelCase> {};

TEST_P(LogonCancels, EndTheRunAtOnceWithNothingDone) {
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box));
  const std::string before = box.ReadIni().value_or("");
  Process process = box.Start(LoggingMappings(box));
  HWND form = WaitForDialog(process);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(driver::SetText(Child(form, kIdUserName), "typed"));
  switch (GetParam().how) {
    case Abandon::EscInUserName:
      ASSERT_TRUE(driver::PostKey(form, driver::Key::Escape));
      break;
    case Abandon::EscInPassword:
      ASSERT_TRUE(driver::PostKey(form, driver::Key::Tab));
      ASSERT_TRUE(driver::WaitUntil([&] { return driver::FocusedChild(form) == Child(form, kIdPassword); },
                                    Milliseconds{5000}));
      ASSERT_TRUE(driver::PostKey(form, driver::Key::Escape));
      break;
    case Abandon::ClickCancel:
      ASSERT_TRUE(driver::PressButton(form, "Cancel"));
      break;
    case Abandon::ShiftTabToCancelThenEnter:
      ASSERT_TRUE(driver::TypeKey(form, driver::Key::Tab, true));
      ASSERT_TRUE(
          driver::WaitUntil([&] { return driver::FocusedChild(form) == Child(form, kIdCancel); }, Milliseconds{5000}));
      // Typed, not posted: a posted key is taken before typed input still queued, so it could overtake
      // the release of Shift and count as Shift+Enter, which presses nothing.
      ASSERT_TRUE(driver::TypeKey(form, driver::Key::Return));
      break;
  }
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  EXPECT_TRUE(MappingsOf(box).empty()) << "nothing mapped";
  EXPECT_EQ(box.ReadIni().value_or(""), before) << "nothing written";
  EXPECT_FALSE(box.ReadFile("post.log")) << "nothing started";
}

INSTANTIATE_TEST_SUITE_P(LogonDialog, LogonCancels,
                         ::testing::Values(CancelCase{"EscInUserName", Abandon::EscInUserName},
                                           CancelCase{"EscInPassword", Abandon::EscInPassword},
                                           CancelCase{"ClickCancel", Abandon::ClickCancel},
                                           CancelCase{"ShiftTabToCancelThenEnter", Abandon::ShiftTabToCancelThenEnter}),
                         CaseName);

// The close box answers the dialog without the typed texts: the stored user name and the password's
// marker are used, nothing is written back, and the run goes on to its programs.
TEST(LogonDialog, CloseBoxKeepsTheStoredCredentials) {
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box, "stored"));
  const std::string before = box.ReadIni().value_or("");
  Process process = box.Start(LoggingMappings(box));
  HWND form = WaitForDialog(process);
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(driver::SetText(Child(form, kIdUserName), "typed"));
  ASSERT_TRUE(driver::RequestClose(form));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  const auto mapped = MappingsOf(box);
  ASSERT_EQ(mapped.size(), 1u);
  EXPECT_EQ(mapped[0].Text("user"), "stored");
  EXPECT_EQ(mapped[0].Text("password"), "NOPASS");
  EXPECT_EQ(box.ReadIni().value_or(""), before);
  EXPECT_EQ(box.ReadRecords("post.log").value_or(std::vector<testing::RecordedStart>{}).size(), 1u);
}

// ---- The notice box -------------------------------------------------------------------------------

enum class Answer { Return, Escape, ClickOk, CloseBox };

struct NoticeCase {
  const char* name;
  Answer how;
  friend void PrintTo(const NoticeCase& c, std::ostream* os) { *os << c.name; }
};

class NoticeAnswers : public ::testing::TestWithParam<NoticeCase> {};

// OK is both the default and the cancel button; the run waits for the box, and the window cannot be
// used meanwhile.
TEST_P(NoticeAnswers, CloseTheBoxAndLetTheRunEnd) {
  const Sandbox box;  // no settings file: the run tells so in a notice
  Process process = box.Start();
  const auto notice = driver::WaitForBoxContent(process.Pid(), kStartTimeout, "KESTEL Network Roaming Software");
  ASSERT_TRUE(notice);
  HWND form = driver::FindWindowOf(process.Pid(), "", kCaption).value_or(nullptr);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(driver::Enabled(form)) << "the window cannot be used while the notice is open";
  const RECT r = driver::OuterRect(notice->window);
  EXPECT_LE(std::abs((r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2), 1);
  EXPECT_FALSE(process.WaitExit(Milliseconds{200}));
  switch (GetParam().how) {
    case Answer::Return:
      ASSERT_TRUE(driver::PostKey(notice->window, driver::Key::Return));
      break;
    case Answer::Escape:
      ASSERT_TRUE(driver::PostKey(notice->window, driver::Key::Escape));
      break;
    case Answer::ClickOk:
      ASSERT_TRUE(driver::PressButton(notice->window, "OK"));
      break;
    case Answer::CloseBox:
      ASSERT_TRUE(driver::RequestClose(notice->window));
      break;
  }
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(NoticeBox, NoticeAnswers,
                         ::testing::Values(NoticeCase{"Enter", Answer::Return}, NoticeCase{"Esc", Answer::Escape},
                                           NoticeCase{"ClickOk", Answer::ClickOk},
                                           NoticeCase{"CloseBox", Answer::CloseBox}),
                         CaseName);

// The longest notice is wrapped at word boundaries within half the screen's width, and the box fits it.
TEST(NoticeBox, WrapsTheTextWithinHalfTheScreen) {
  const Sandbox box;
  box.WriteIni(
      "[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=u\r\npassword=p\r\n"
      "[mappings]\r\nX:=\\\\127.0.0.1\\share\r\n");
  Process process = box.Start(LoggingMappings(box, "add:*=53"));
  const auto notice = driver::WaitForBoxContent(process.Pid(), kStartTimeout, "KESTEL Network Roaming Software");
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->text,
            "An error occured mapping one or more drives. For Details enable showMapErrors=1 in under [SCRIPTS] "
            "section of KESTEL.INI");
  HWND text = driver::FindChild(notice->window, "Static").value_or(nullptr);
  ASSERT_NE(text, nullptr);
  RECT textRect{};
  GetWindowRect(text, &textRect);
  RECT client{};
  GetClientRect(notice->window, &client);
  EXPECT_LE(textRect.right - textRect.left, GetSystemMetrics(SM_CXSCREEN) / 2);
  EXPECT_GT(textRect.bottom - textRect.top, 0);
  EXPECT_LE(textRect.right - textRect.left, client.right) << "the box fits its text";
  ASSERT_TRUE(driver::PressButton(notice->window, "OK"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

// ---- Answers sent the way UI automation sends them ------------------------------------------------

// A press or a close sent (not posted) from another process is handled inside the program's wait
// without waking it; the display must end all the same, and at once. The buttons of the dialog get
// the focus before the press, so that the press itself repaints nothing that would wake the wait.
enum class Sent { NoticeOk, NoticeClose, DialogLogon, DialogCancel };

struct SentCase {
  const char* name;
  Sent answer;
  friend void PrintTo(const SentCase& c, std::ostream* os) { *os << c.name; }
};

class SentAnswers : public ::testing::TestWithParam<SentCase> {};

TEST_P(SentAnswers, EndTheDisplayWithinASecond) {
  const Sent answer = GetParam().answer;
  const bool notice = answer == Sent::NoticeOk || answer == Sent::NoticeClose;
  const Sandbox box;
  if (!notice) box.WriteIni(HomeIniWithoutCredentials(box));  // without a file the run ends in a notice
  Process process = box.Start(LoggingMappings(box));
  HWND window = nullptr;
  if (notice) {
    window = driver::WaitForBox(process.Pid(), kStartTimeout).value_or(nullptr);
    ASSERT_NE(window, nullptr);
  } else {
    window = WaitForDialog(process);
    ASSERT_NE(window, nullptr);
    // Tab by Tab through the order from username, each waited for where it must land, until the
    // button has the focus.
    HWND button = Child(window, answer == Sent::DialogLogon ? kIdLogon : kIdCancel);
    ASSERT_EQ(driver::FocusedChild(window), Child(window, kIdUserName));
    for (const int next : {kIdPassword, kIdLogon, kIdCancel}) {
      if (driver::FocusedChild(window) == button) break;
      ASSERT_TRUE(driver::PostKey(window, driver::Key::Tab));
      ASSERT_TRUE(
          driver::WaitUntil([&] { return driver::FocusedChild(window) == Child(window, next); }, Milliseconds{5000}));
    }
    ASSERT_EQ(driver::FocusedChild(window), button);
  }
  WaitForInputIdle(process.Handle(), 5000);

  const bool sent = answer == Sent::NoticeOk       ? driver::SendClick(window, "OK")
                    : answer == Sent::DialogLogon  ? driver::SendClick(window, "Logon")
                    : answer == Sent::DialogCancel ? driver::SendClick(window, "Cancel")
                                                   : driver::SendClose(window);
  ASSERT_TRUE(sent);
  EXPECT_TRUE(driver::WaitForWindowGone(window, Milliseconds{1000})) << "still waiting a second after the answer";
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  const auto programs = box.ReadRecords("post.log").value_or(std::vector<testing::RecordedStart>{});
  EXPECT_EQ(programs.size(), answer == Sent::DialogLogon ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(ModalDisplays, SentAnswers,
                         ::testing::Values(SentCase{"NoticeOk", Sent::NoticeOk},
                                           SentCase{"NoticeClose", Sent::NoticeClose},
                                           SentCase{"DialogLogon", Sent::DialogLogon},
                                           SentCase{"DialogCancel", Sent::DialogCancel}),
                         CaseName);

// ---- Display scale --------------------------------------------------------------------------------

// A length of the 96-dpi design at dpi, to the nearest pixel.
int AtDpi(int length, int dpi) {
  return MulDiv(length, dpi, 96);
}

// Where a control lies in its top-level window's client area.
RECT RectInClient(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetAncestor(control, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Each edge within a pixel of the design's edge at dpi.
::testing::AssertionResult LiesAtDesign(HWND control, RECT design, int dpi) {
  const RECT r = RectInClient(control);
  const LONG got[] = {r.left, r.top, r.right, r.bottom};
  const LONG want[] = {design.left, design.top, design.right, design.bottom};
  for (int i = 0; i < 4; ++i)
    if (std::abs(got[i] - AtDpi(want[i], dpi)) > 1)
      return ::testing::AssertionFailure()
             << "edge " << i << " at " << got[i] << ", the design's at " << AtDpi(want[i], dpi);
  return ::testing::AssertionSuccess();
}

// Rows from the first to the last that hold anything but the background: the height of the ink.
int InkHeight(const Capture& c, int top, int bottom, COLORREF background = kBackground) {
  int first = -1;
  int last = -1;
  for (int y = top; y < bottom; ++y)
    for (int x = 0; x < c.width; ++x)
      if (c.At(x, y) != background) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  return first < 0 ? 0 : last - first + 1;
}

// The ink height of text drawn as the status line draws it, in the window's font at pixelHeight; or,
// given a font, as DrawText draws it in that font with flags within width.
int ReferenceInkHeight(const std::string& text, int pixelHeight, const LOGFONTA* given = nullptr, int width = 0,
                       UINT flags = DT_NOPREFIX) {
  std::unique_ptr<std::remove_pointer_t<HDC>, DcReleaser> screen(GetDC(nullptr));
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> dc(CreateCompatibleDC(screen.get()));
  RECT area{0, 0, given ? width : 4 * pixelHeight * static_cast<int>(text.size()), 3 * pixelHeight};
  HFONT font =
      given ? CreateFontIndirectA(given)
            : CreateFontA(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
  HGDIOBJ oldFont = SelectObject(dc.get(), font);
  RECT needed = area;
  DrawTextA(dc.get(), text.c_str(), -1, &needed, flags | DT_CALCRECT);
  area.bottom = std::max(area.bottom, needed.bottom + pixelHeight);
  std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter> bitmap(
      CreateCompatibleBitmap(screen.get(), area.right, area.bottom));
  HGDIOBJ oldBitmap = SelectObject(dc.get(), bitmap.get());
  HBRUSH background = CreateSolidBrush(kBackground);
  FillRect(dc.get(), &area, background);
  DeleteObject(background);
  SetTextColor(dc.get(), kFontColour);
  SetBkColor(dc.get(), kBackground);
  DrawTextA(dc.get(), text.c_str(), -1, &area, flags);
  const Capture c = CaptureFrom(dc.get(), area);
  SelectObject(dc.get(), oldFont);
  SelectObject(dc.get(), oldBitmap);
  DeleteObject(font);
  return InkHeight(c, 0, c.height);
}

// Tells window, as the system does when it moves to a monitor at dpi, to take the suggested rectangle.
// The message's rectangle is not carried to another process: it is written into the program's memory.
bool SendDpiChange(const Process& process, HWND window, int dpi, const RECT& suggested) {
  void* remote = VirtualAllocEx(process.Handle(), nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  DWORD_PTR answer = 0;
  const bool answered = WriteProcessMemory(process.Handle(), remote, &suggested, sizeof suggested, nullptr) &&
                        SendMessageTimeoutA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                            reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000, &answer) != 0;
  VirtualFreeEx(process.Handle(), remote, 0, MEM_RELEASE);
  return answered;
}

// The outer rectangle of window scaled from its top-left corner to (40, 40), well inside the screen,
// as a move from 96 dpi to dpi would suggest it.
RECT SuggestedAt(HWND window, int dpi) {
  const RECT before = driver::OuterRect(window);
  return RECT{40, 40, 40 + AtDpi(before.right - before.left, dpi), 40 + AtDpi(before.bottom - before.top, dpi)};
}

// The prefix's display resolution, which Wine reads as a program starts, set for one test and put back
// after it. Every program of the prefix started meanwhile sees it, so cmake/WineTests.cmake runs the
// suites that use it with nothing beside them.
class PrefixDpi {
 public:
  explicit PrefixDpi(DWORD dpi) {
    for (Value& v : values_) {
      v.key = nullptr;
      if (RegCreateKeyExA(v.root, v.path, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &v.key, nullptr) !=
          ERROR_SUCCESS)
        continue;
      DWORD size = sizeof v.before;
      v.had = RegQueryValueExA(v.key, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&v.before), &size) ==
              ERROR_SUCCESS;
      RegSetValueExA(v.key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
  }
  ~PrefixDpi() {
    for (Value& v : values_) {
      if (v.key == nullptr) continue;
      if (v.had)
        RegSetValueExA(v.key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.before), sizeof v.before);
      else
        RegDeleteValueA(v.key, "LogPixels");
      RegCloseKey(v.key);
    }
  }
  PrefixDpi(const PrefixDpi&) = delete;
  PrefixDpi& operator=(const PrefixDpi&) = delete;

 private:
  struct Value {
    HKEY root;
    const char* path;
    HKEY key = nullptr;
    bool had = false;
    DWORD before = 0;
  };
  Value values_[2] = {{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                      {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts"}};
};

// The frame of the status and logon window at 96 dpi: this test program started before any row
// changed the resolution.
int DesignFrameHeight(HWND form) {
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(form, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(form, GWL_EXSTYLE)));
  return r.bottom - r.top;
}

// Types text into the control that has the focus, as the keyboard's characters arrive.
void TypeText(HWND form, const std::string& text) {
  for (const char ch : text)
    PostMessageA(driver::FocusedChild(form).value_or(form), WM_CHAR, static_cast<unsigned char>(ch), 1);
}

struct DpiCase {
  const char* name;
  int dpi;
  const char* screenshotSuffix;  // kept for the README at 150 %
  friend void PrintTo(const DpiCase& c, std::ostream* os) { *os << c.name; }
};

class DisplayScale : public ::testing::TestWithParam<DpiCase> {};

TEST_P(DisplayScale, TheWindowAndTheDialogScaleAsOne) {
  const int dpi = GetParam().dpi;
  const PrefixDpi prefixDpi(static_cast<DWORD>(dpi));
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box));
  const StatusDisplayHold hold;
  StartOptions options = LoggingMappings(box);
  hold.AddTo(options);
  Process process = box.Start(options);
  HWND form = hold.WaitUntilHeld(process);
  ASSERT_NE(form, nullptr);

  const driver::Size client = driver::ClientSize(form);
  EXPECT_LE(std::abs(client.width - AtDpi(274, dpi)), 2) << client.width;
  EXPECT_LE(std::abs(client.height - AtDpi(47, dpi)), 2) << client.height;
  HWND status = Child(form, kIdStatusLine);
  const int statusHeight = AtDpi(17, dpi);
  EXPECT_TRUE(LiesAtDesign(status, RECT{0, 0, 274, 17}, dpi));
  // The status text's ink is as tall as the window's font at this DPI draws it, which is the 96-dpi
  // ink scaled.
  Capture c;
  const int want = ReferenceInkHeight("Initialising..", AtDpi(11, dpi));
  driver::WaitUntil(
      [&] {
        c = CaptureScreen(ClientOnScreen(form));
        return c.height >= statusHeight && InkHeight(c, 0, statusHeight) == want;
      },
      Milliseconds{5000});
  ASSERT_GE(c.height, statusHeight);
  EXPECT_EQ(InkHeight(c, 0, statusHeight), want);
  EXPECT_GE(want * 96, (ReferenceInkHeight("Initialising..", 11) * dpi) - 96) << "the ink grows with the DPI";
  if (*GetParam().screenshotSuffix != '\0')
    KeepScreenshot(form, std::string("status-window") + GetParam().screenshotSuffix + ".bmp");

  hold.Release();
  // The dialog's outer height of 210 is the 96-dpi one: its client part scales with the design.
  const int dialogClient = AtDpi(210 - DesignFrameHeight(form), dpi);
  ASSERT_TRUE(driver::WaitUntil(
      [&] { return driver::Visible(form) && std::abs(driver::ClientSize(form).height - dialogClient) <= 2; },
      kStartTimeout))
      << driver::ClientSize(form).height << " instead of " << dialogClient;
  ASSERT_TRUE(
      driver::WaitUntil([&] { return driver::FocusedChild(form) == Child(form, kIdUserName); }, Milliseconds{5000}));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdUserName), RECT{104, 64, 257, 86}, dpi));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdPassword), RECT{104, 104, 257, 126}, dpi));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdLogon), RECT{104, 136, 179, 161}, dpi));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdCancel), RECT{184, 136, 259, 161}, dpi));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdPicture), RECT{8, 48, 89, 153}, dpi));
  EXPECT_EQ(RectInClient(Child(form, kIdTagline)).bottom, driver::ClientSize(form).height);
  // The picture is drawn at the scaled size: purple near its scaled bottom, background beyond it.
  driver::WaitUntil(
      [&] {
        c = CaptureScreen(ClientOnScreen(form));
        return c.height > AtDpi(153, dpi) && IsPurple(c.At(AtDpi(42, dpi), AtDpi(148, dpi))) &&
               c.At(AtDpi(184 + 5, dpi), AtDpi(136 + 5, dpi)) != kBackground;
      },
      Milliseconds{5000});
  ASSERT_GT(c.height, AtDpi(153, dpi));
  EXPECT_TRUE(IsPurple(c.At(AtDpi(42, dpi), AtDpi(148, dpi))));
  EXPECT_TRUE(IsPurple(c.At(AtDpi(8 + 64, dpi), AtDpi(48 + 52, dpi)))) << "the field's right edge, scaled";
  EXPECT_EQ(c.At(AtDpi(8 + 69, dpi) + 2, AtDpi(48 + 52, dpi)), kBackground) << "beyond the scaled picture";
  if (*GetParam().screenshotSuffix != '\0')
    KeepScreenshot(form, std::string("logon-dialog") + GetParam().screenshotSuffix + ".bmp");

  TypeText(form, "dpi user");
  ASSERT_TRUE(driver::WaitUntil([&] { return driver::WindowText(Child(form, kIdUserName)) == "dpi user"; },
                                Milliseconds{5000}));
  ASSERT_TRUE(driver::PostKey(form, driver::Key::Tab));
  ASSERT_TRUE(
      driver::WaitUntil([&] { return driver::FocusedChild(form) == Child(form, kIdPassword); }, Milliseconds{5000}));
  TypeText(form, "pw");
  ASSERT_TRUE(driver::PostKey(form, driver::Key::Return));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  const auto mapped = MappingsOf(box);
  ASSERT_EQ(mapped.size(), 1u);
  EXPECT_EQ(mapped[0].Text("user"), "dpi user");
  EXPECT_EQ(mapped[0].Text("password"), "pw");
}

// The notice's text fits its label and is drawn in the box's font at dpi, and the margins and the
// button scale. This program runs at 96 dpi: the box's font is the system's message font at 96 dpi, scaled.
void ExpectNoticeLaidOutAt(const std::optional<driver::BoxContent>& notice, int dpi) {
  HWND label = driver::FindChild(notice->window, "Static").value_or(nullptr);
  HWND ok = driver::FindChild(notice->window, "Button").value_or(nullptr);
  ASSERT_NE(label, nullptr);
  ASSERT_NE(ok, nullptr);
  const RECT text = RectInClient(label);
  const RECT button = RectInClient(ok);
  const driver::Size client = driver::ClientSize(notice->window);
  EXPECT_LE(std::abs(text.left - AtDpi(12, dpi)), 1);
  EXPECT_LE(std::abs(text.top - AtDpi(12, dpi)), 1);
  EXPECT_LE(std::abs((button.bottom - button.top) - AtDpi(23, dpi)), 1);
  EXPECT_LE(std::abs((button.right - button.left) - AtDpi(75, dpi)), 1);
  EXPECT_GE(button.top - text.bottom, AtDpi(12, dpi) - 1) << "the text ends above the button";
  EXPECT_LE(std::abs(client.height - button.bottom - AtDpi(12, dpi)), 1) << "the client holds the button";

  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, 96);
  constexpr UINT kFlags = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
  HFONT font = CreateFontIndirectA(&metrics.lfMessageFont);
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> dc(CreateCompatibleDC(nullptr));
  HGDIOBJ previous = SelectObject(dc.get(), font);
  RECT needed{0, 0, text.right - text.left, 0};
  DrawTextA(dc.get(), notice->text.c_str(), -1, &needed, kFlags | DT_CALCRECT);
  SelectObject(dc.get(), previous);
  DeleteObject(font);
  EXPECT_LE(needed.bottom, text.bottom - text.top) << "the last line is cut off";
  EXPECT_LE(needed.right, text.right - text.left);
  // The label's corner is background: its text starts below the font's internal leading.
  const int want = ReferenceInkHeight(notice->text, std::abs(static_cast<int>(metrics.lfMessageFont.lfHeight)),
                                      &metrics.lfMessageFont, text.right - text.left, kFlags);
  RECT onScreen = text;
  MapWindowPoints(notice->window, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
  Capture c;
  driver::WaitUntil(
      [&] {
        c = CaptureScreen(onScreen);
        return !c.pixels.empty() && InkHeight(c, 0, c.height, c.At(0, 0)) == want;
      },
      Milliseconds{5000});
  ASSERT_FALSE(c.pixels.empty());
  EXPECT_EQ(InkHeight(c, 0, c.height, c.At(0, 0)), want) << "the text is drawn in the font for this DPI";
}

TEST_P(DisplayScale, TheNoticeHoldsItsWholeText) {
  const int dpi = GetParam().dpi;
  const PrefixDpi prefixDpi(static_cast<DWORD>(dpi));
  const Sandbox box;  // no settings file: the run tells so in a notice
  Process process = box.Start();
  const auto notice = driver::WaitForBoxContent(process.Pid(), kStartTimeout, "KESTEL Network Roaming Software");
  ASSERT_TRUE(notice);
  ExpectNoticeLaidOutAt(notice, dpi);
  ASSERT_TRUE(driver::PressButton(notice->window, "OK"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(DisplayScale, DisplayScale,
                         ::testing::Values(DpiCase{"At120", 120, ""}, DpiCase{"At144", 144, "-150"},
                                           DpiCase{"At192", 192, ""}),
                         CaseName);

// A move to a monitor of another scale: the window takes the system's suggested rectangle and lays
// itself out for the new DPI, its client sized for the layout inside the frame it really has there.
// The suggested rectangle here scales the frame with everything else, which no system does: the
// client must still come out as the scaled design.
TEST(LogonDialog, LaysItselfOutAgainForANewDpi) {
  const Sandbox box;
  box.WriteIni(HomeIniWithoutCredentials(box));
  Process process = box.Start(LoggingMappings(box));
  HWND form = WaitForDialog(process);
  ASSERT_NE(form, nullptr);
  const int designClientHeight = 210 - DesignFrameHeight(form);
  const RECT suggested = SuggestedAt(form, 144);
  ASSERT_TRUE(SendDpiChange(process, form, 144, suggested));
  const RECT after = driver::OuterRect(form);
  EXPECT_EQ(after.left, suggested.left);
  EXPECT_EQ(after.top, suggested.top);
  EXPECT_EQ(driver::ClientSize(form).width, AtDpi(274, 144));
  EXPECT_EQ(driver::ClientSize(form).height, AtDpi(designClientHeight, 144));
  const RECT status = RectInClient(Child(form, kIdStatusLine));
  EXPECT_EQ(status.bottom - status.top, AtDpi(17, 144));
  EXPECT_EQ(status.right, driver::ClientSize(form).width);
  const RECT tagline = RectInClient(Child(form, kIdTagline));
  EXPECT_EQ(tagline.bottom, driver::ClientSize(form).height);
  EXPECT_EQ(tagline.bottom - tagline.top, AtDpi(14, 144));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdUserName), RECT{104, 64, 257, 86}, 144));
  EXPECT_TRUE(LiesAtDesign(Child(form, kIdCancel), RECT{184, 136, 259, 161}, 144));
  // The status line writes in the font for the new DPI.
  const int want = ReferenceInkHeight(kLogonStatus, AtDpi(11, 144));
  Capture c;
  driver::WaitUntil(
      [&] {
        c = CaptureScreen(ClientOnScreen(form));
        return c.height >= status.bottom && InkHeight(c, 0, status.bottom) == want;
      },
      Milliseconds{5000});
  ASSERT_GE(c.height, status.bottom);
  EXPECT_EQ(InkHeight(c, 0, status.bottom), want);
  TypeText(form, "moved");
  ASSERT_TRUE(
      driver::WaitUntil([&] { return driver::WindowText(Child(form, kIdUserName)) == "moved"; }, Milliseconds{5000}));
  ASSERT_TRUE(driver::PressButton(form, "Cancel"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

// The notice box moved to a monitor of another scale: the suggested place, and the text, the margins
// and the button laid out again in the font for the new DPI.
TEST(NoticeBox, LaysItselfOutAgainForANewDpi) {
  const Sandbox box;  // no settings file: the run tells so in a notice
  Process process = box.Start();
  const auto notice = driver::WaitForBoxContent(process.Pid(), kStartTimeout, "KESTEL Network Roaming Software");
  ASSERT_TRUE(notice);
  const RECT suggested = SuggestedAt(notice->window, 144);
  ASSERT_TRUE(SendDpiChange(process, notice->window, 144, suggested));
  const RECT after = driver::OuterRect(notice->window);
  EXPECT_EQ(after.left, suggested.left);
  EXPECT_EQ(after.top, suggested.top);
  ExpectNoticeLaidOutAt(notice, 144);
  ASSERT_TRUE(driver::PressButton(notice->window, "OK"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace kestel::e2e
