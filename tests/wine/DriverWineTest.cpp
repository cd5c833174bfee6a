// The window driver against windows whose answers are known: this test program starts a second copy
// of itself that shows a message box or a small probe window, and drives it from here.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "Driver.h"
#include "Process.h"

namespace kestel::driver {
namespace {

constexpr std::string_view kChildSwitch = "--driver-child=";
constexpr Milliseconds kWindowTimeout{20000};
constexpr const char* kProbeClass = "KestelDriverProbe";
constexpr COLORREF kProbeColour = RGB(10, 200, 30);
constexpr int kEditId = 101;
constexpr int kApplyId = 102;
constexpr int kNeverId = 103;
constexpr UINT kClosedExitCode = 5;

// ---- The second copy --------------------------------------------------------------------------

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    SetWindowTextA(window, LOWORD(wParam) == kApplyId ? "applied" : "never");
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(static_cast<int>(kClosedExitCode));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A window away from the screen's centre, where the program windows of other tests appear, with a
// solid client, an edit that has the focus, an enabled and a disabled button.
int RunProbeWindow() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ProbeProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = CreateSolidBrush(kProbeColour);
  windowClass.lpszClassName = kProbeClass;
  RegisterClassA(&windowClass);
  RECT frame{0, 0, 200, 100};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = CreateWindowExA(0, kProbeClass, "Probe", style, 1000, 650, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  const auto child = [&](const char* cls, const char* text, DWORD extra, int x, int id) {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | extra, x, 70, 60, 24, window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  HWND edit = child("EDIT", "seed", WS_BORDER, 5, kEditId);
  child("BUTTON", "&Apply", BS_PUSHBUTTON, 70, kApplyId);
  EnableWindow(child("BUTTON", "Never", BS_PUSHBUTTON, 135, kNeverId), FALSE);
  ShowWindow(window, SW_SHOW);
  SetFocus(edit);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

const bool kRanAsChild = [] {
  const std::string_view commandLine = GetCommandLineA();
  const std::size_t at = commandLine.find(kChildSwitch);
  if (at == std::string_view::npos) return false;
  const std::string_view mode = commandLine.substr(at + kChildSwitch.size());
  if (mode.starts_with("window")) ExitProcess(static_cast<UINT>(RunProbeWindow()));
  if (mode.starts_with("box:")) {
    const auto flags = static_cast<UINT>(std::strtoul(mode.data() + 4, nullptr, 10));
    ExitProcess(static_cast<UINT>(MessageBoxA(nullptr, "First line\nsecond line", "Driver Box", flags)));
  }
  ExitProcess(3);
}();

// ---- The tests ----------------------------------------------------------------------------------

Process StartChild(const std::string& mode) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  StartOptions options;
  options.arguments = std::string(kChildSwitch) + mode;
  return StartProgram(std::string(path, length), options);
}

struct BoxCase {
  const char* name;
  UINT flags;
  std::function<bool(HWND)> answer;
  int expected;
};

// The ways a test answers a box, each with the result the box must report.
const BoxCase kBoxCases[] = {
    {"PostedReturnPressesTheDefault", MB_OKCANCEL, [](HWND b) { return PostKey(b, Key::Return); }, IDOK},
    {"PostedEscapeCancels", MB_OKCANCEL, [](HWND b) { return PostKey(b, Key::Escape); }, IDCANCEL},
    {"PostedTabThenSpaceMovesOn", MB_YESNO, [](HWND b) { return PostKey(b, Key::Tab) && PostKey(b, Key::Space); },
     IDNO},
    {"TypedShiftTabGoesBackwards", MB_YESNOCANCEL,
     [](HWND b) { return TypeKey(b, Key::Tab, true) && TypeKey(b, Key::Return); }, IDCANCEL},
    {"PressedByCaption", MB_YESNO, [](HWND b) { return PressButton(b, "No"); }, IDNO},
};

class BoxAnswers : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BoxAnswers, ReachTheBox) {
  ASSERT_FALSE(kRanAsChild);
  const BoxCase& tested = kBoxCases[GetParam()];
  Process child = StartChild("box:" + std::to_string(tested.flags));
  const auto box = WaitForBox(child.Pid(), kWindowTimeout, "Driver Box");
  ASSERT_TRUE(box);
  ASSERT_TRUE(tested.answer(*box));
  EXPECT_EQ(child.WaitExit(), std::optional<DWORD>(tested.expected));
}

INSTANTIATE_TEST_SUITE_P(Driver, BoxAnswers, ::testing::Range<std::size_t>(0, std::size(kBoxCases)),
                         [](const ::testing::TestParamInfo<std::size_t>& tested) {
                           return std::string(kBoxCases[tested.param].name);
                         });

TEST(Driver, ReadsABoxWithAndWithoutIcon) {
  for (const UINT flags : {UINT{MB_OK}, UINT{MB_OK | MB_ICONINFORMATION}}) {
    Process child = StartChild("box:" + std::to_string(flags));
    const auto box = WaitForBoxContent(child.Pid(), kWindowTimeout);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "Driver Box");
    EXPECT_EQ(box->text, "First line\nsecond line");
    EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(box->hasIcon, flags != MB_OK);
    EXPECT_FALSE(FindBox(GetCurrentProcessId())) << "boxes are found by their process only";
    EXPECT_TRUE(PressButton(box->window, "OK"));
    EXPECT_EQ(child.WaitExit(), std::optional<DWORD>(IDOK));
  }
}

TEST(Driver, ReadsAndAnswersAWindow) {
  Process child = StartChild("window");
  const auto window = WaitForWindow(child.Pid(), kProbeClass, "Probe", kWindowTimeout);
  ASSERT_TRUE(window);
  EXPECT_FALSE(IsBox(*window)) << "a window with an edit is no box";
  EXPECT_TRUE(Visible(*window));
  EXPECT_TRUE(Enabled(*window));

  EXPECT_EQ(ClientSize(*window), (Size{200, 100}));
  const Size outer = OuterSize(*window);
  EXPECT_GE(outer.width, 200);
  EXPECT_GE(outer.height, 100);
  EXPECT_TRUE(WaitUntil([&] { return ClientPixel(*window, 100, 30) == kProbeColour; }, kWindowTimeout))
      << std::hex << ClientPixel(*window, 100, 30).value_or(CLR_INVALID);

  const auto edit = FindChildById(*window, kEditId);
  ASSERT_TRUE(edit);
  EXPECT_EQ(FindChild(*window, "edit"), edit);
  EXPECT_EQ(WindowText(*edit), std::optional<std::string>("seed"));
  EXPECT_TRUE(SetText(*edit, "typed here"));
  EXPECT_EQ(WindowText(*edit), std::optional<std::string>("typed here"));
  EXPECT_EQ(FocusedChild(*window), edit);
  EXPECT_EQ(ButtonCaptions(*window), (std::vector<std::string>{"Apply", "Never"}));
  EXPECT_EQ(FindChild(*window, "Button", "&Apply"), FindChildById(*window, kApplyId));

  EXPECT_FALSE(PressButton(*window, "Never")) << "a disabled button is never pressed";
  EXPECT_FALSE(PressButton(*window, "Missing"));
  ASSERT_TRUE(PressButton(*window, "Apply"));
  EXPECT_TRUE(WaitUntil([&] { return StoredText(*window) == "applied"; }, kWindowTimeout)) << StoredText(*window);

  const auto peak = PeakWorkingSet(child.Pid());
  ASSERT_TRUE(peak);
  EXPECT_GT(*peak, 0u);

  ASSERT_TRUE(RequestClose(*window));
  EXPECT_TRUE(WaitForWindowGone(*window, kWindowTimeout));
  EXPECT_EQ(child.WaitExit(), std::optional<DWORD>(kClosedExitCode));
  EXPECT_FALSE(WaitForWindow(child.Pid(), kProbeClass, {}, kWindowTimeout)) << "an ended process has no windows";
}

TEST(Driver, ProcessLeftRunningIsEndedWithItsGuard) {
  DWORD pid = 0;
  {
    Process child = StartChild("window");
    pid = child.Pid();
    ASSERT_TRUE(WaitForWindow(pid, kProbeClass, "Probe", kWindowTimeout));
  }
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  EXPECT_TRUE(!process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0);
}

// Reads a block back into name -> value, failing on anything that is not "NAME=value".
std::map<std::string, std::string> ParseBlock(const std::string& block) {
  std::map<std::string, std::string> variables;
  for (std::size_t at = 0; at < block.size() && block[at] != '\0';) {
    const std::string entry(block.c_str() + at);
    const std::size_t equals = entry.find('=', 1);
    EXPECT_NE(equals, std::string::npos) << entry;
    variables[entry.substr(0, equals)] = entry.substr(equals + 1);
    at += entry.size() + 1;
  }
  return variables;
}

TEST(Driver, EnvironmentBlockAppliesOverridesWithoutRegardToCase) {
  SetEnvironmentVariableA("KESTEL_DRIVER_KEEP", "kept");
  SetEnvironmentVariableA("KESTEL_DRIVER_CHANGE", "old");
  SetEnvironmentVariableA("KESTEL_DRIVER_DROP", "dropped");
  const std::string block = BuildEnvironmentBlock(
      {{"kestel_driver_change", "new"}, {"Kestel_Driver_Drop", std::nullopt}, {"KESTEL_DRIVER_ADDED", "a=b"}});
  ASSERT_GE(block.size(), 2u);
  EXPECT_EQ(block.substr(block.size() - 2), std::string(2, '\0'));

  const auto variables = ParseBlock(block);
  EXPECT_EQ(variables.at("KESTEL_DRIVER_KEEP"), "kept");
  EXPECT_EQ(variables.count("KESTEL_DRIVER_CHANGE"), 0u) << "the override's spelling replaces the old entry";
  EXPECT_EQ(variables.at("kestel_driver_change"), "new");
  EXPECT_EQ(variables.count("KESTEL_DRIVER_DROP"), 0u);
  EXPECT_EQ(variables.at("KESTEL_DRIVER_ADDED"), "a=b");
}

}  // namespace
}  // namespace kestel::driver
