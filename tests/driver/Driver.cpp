#include "Driver.h"

#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <thread>

#include "../tools/WideText.h"

namespace kestel::driver {

namespace {

// Windows of another process may hang in a modal loop; marshalled messages never wait longer.
UINT TimeoutOf(Milliseconds timeout) {
  return static_cast<UINT>(std::max<long long>(timeout.count(), 1));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string WithoutMnemonics(std::string_view caption) {
  std::string plain;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    plain += caption[i];
  }
  return plain;
}

bool IsButtonClass(HWND window) {
  return EqualsIgnoringCase(ClassNameOf(window), "Button");
}
bool IsStaticClass(HWND window) {
  return EqualsIgnoringCase(ClassNameOf(window), "Static");
}

// Check boxes, radio buttons and group boxes are buttons by class but nobody presses them to answer.
bool IsPushButton(HWND window) {
  if (!IsButtonClass(window)) return false;
  const auto type = static_cast<unsigned long>(GetWindowLongPtrA(window, GWL_STYLE)) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW || type == BS_USERBUTTON;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

WORD VirtualKeyOf(Key key) {
  switch (key) {
    case Key::Return:
      return VK_RETURN;
    case Key::Escape:
      return VK_ESCAPE;
    case Key::Tab:
      return VK_TAB;
    case Key::Space:
      return VK_SPACE;
  }
  return 0;
}

INPUT KeyInput(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

// The lParam of a key message: repeat count 1, the scan code, and the transition bits for key up.
LPARAM KeyLParam(WORD virtualKey, bool up) {
  const auto scan = static_cast<unsigned long>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  unsigned long value = 1ul | (scan << 16);
  if (up) value |= (1ul << 30) | (1ul << 31);
  return static_cast<LPARAM>(value);
}

// Waits for found to answer a window of pid, giving up early once the process has ended: its
// windows went with it.
std::optional<HWND> WaitForWindowOfProcess(DWORD pid, const std::function<std::optional<HWND>()>& find,
                                           Milliseconds timeout) {
  const UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  std::optional<HWND> found;
  WaitUntil(
      [&] {
        found = find();
        return found.has_value() || !process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
      },
      timeout);
  return found;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout, Milliseconds interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(interval);
  }
}

std::vector<HWND> TopLevelWindows(DWORD pid, bool visibleOnly) {
  struct Search {
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND> found;
  } search{pid, visibleOnly, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s.pid && (!s.visibleOnly || IsWindowVisible(window))) s.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::optional<HWND> FindWindowOf(DWORD pid, std::string_view className, std::optional<std::string_view> caption) {
  for (HWND window : TopLevelWindows(pid)) {
    if (!className.empty() && !EqualsIgnoringCase(ClassNameOf(window), className)) continue;
    if (caption && StoredText(window) != *caption) continue;
    return window;
  }
  return std::nullopt;
}

std::optional<HWND> WaitForWindow(DWORD pid, std::string_view className, std::optional<std::string_view> caption,
                                  Milliseconds timeout) {
  return WaitForWindowOfProcess(
      pid, [&] { return FindWindowOf(pid, className, caption); }, timeout);
}

bool WaitForWindowGone(HWND window, Milliseconds timeout) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout);
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    found.push_back(child);
  return found;
}

std::optional<HWND> FindChild(HWND parent, std::string_view className, std::optional<std::string_view> text) {
  for (HWND child : Descendants(parent)) {
    if (!className.empty() && !EqualsIgnoringCase(ClassNameOf(child), className)) continue;
    if (text && StoredText(child) != *text) continue;
    return child;
  }
  return std::nullopt;
}

std::optional<HWND> FindChildById(HWND parent, int controlId) {
  HWND child = GetDlgItem(parent, controlId);
  if (child != nullptr) return child;
  for (HWND descendant : Descendants(parent))
    if (GetDlgCtrlID(descendant) == controlId) return descendant;
  return std::nullopt;
}

bool IsBox(HWND window) {
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return false;
  bool hasButton = false;
  for (HWND child : Descendants(window)) {
    if (EqualsIgnoringCase(ClassNameOf(child), "Edit")) return false;
    hasButton = hasButton || IsPushButton(child);
  }
  return hasButton;
}

std::optional<HWND> FindBox(DWORD pid, std::optional<std::string_view> caption) {
  for (HWND window : TopLevelWindows(pid))
    if (IsBox(window) && (!caption || StoredText(window) == *caption)) return window;
  return std::nullopt;
}

std::optional<HWND> WaitForBox(DWORD pid, Milliseconds timeout, std::optional<std::string_view> caption) {
  return WaitForWindowOfProcess(
      pid, [&] { return FindBox(pid, caption); }, timeout);
}

BoxContent ReadBox(HWND box) {
  BoxContent content;
  content.window = box;
  content.caption = StoredText(box);
  for (HWND child : Descendants(box)) {
    if (!IsStaticClass(child)) continue;
    const std::string text = StoredText(child);
    if (text.empty()) continue;
    if (!content.text.empty()) content.text += '\n';
    content.text += text;
  }
  content.buttons = ButtonCaptions(box);
  content.hasIcon = BoxHasIcon(box);
  return content;
}

std::optional<BoxContent> WaitForBoxContent(DWORD pid, Milliseconds timeout, std::optional<std::string_view> caption) {
  const auto box = WaitForBox(pid, timeout, caption);
  if (!box) return std::nullopt;
  return ReadBox(*box);
}

bool BoxHasIcon(HWND box) {
  for (HWND child : Descendants(box)) {
    if (!IsStaticClass(child)) continue;
    const auto style = static_cast<unsigned long>(GetWindowLongPtrA(child, GWL_STYLE));
    if ((style & SS_TYPEMASK) != SS_ICON) continue;
    DWORD_PTR icon = 0;
    if (SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon) && icon != 0) return true;
  }
  return false;
}

std::vector<std::string> ButtonCaptions(HWND window) {
  std::vector<std::string> captions;
  for (HWND child : Descendants(window))
    if (IsPushButton(child)) captions.push_back(WithoutMnemonics(StoredText(child)));
  return captions;
}

bool PressButton(HWND window, std::string_view caption) {
  for (HWND child : Descendants(window)) {
    if (!IsPushButton(child) || WithoutMnemonics(StoredText(child)) != caption) continue;
    // A real click never reaches a disabled button.
    if (!IsWindowEnabled(child)) return false;
    // The notification a click sends, posted so that the caller never waits on the target's thread
    // and the target need not be the active window.
    const auto id = static_cast<WPARAM>(static_cast<unsigned>(GetDlgCtrlID(child)) & 0xFFFFu);
    return PostMessageA(GetParent(child), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(child)) !=
           FALSE;
  }
  return false;
}

namespace {
// A sent message, as UI automation and accessibility tools send theirs: the target handles it inside
// whatever wait it is in, without a posted message to wake that wait.
bool SendWithin(HWND window, UINT message, WPARAM wParam, Milliseconds timeout) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, wParam, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeout.count()),
                             &result) != 0;
}
}  // namespace

bool SendClick(HWND window, std::string_view caption, Milliseconds timeout) {
  for (HWND child : Descendants(window))
    if (IsPushButton(child) && WithoutMnemonics(StoredText(child)) == caption)
      return IsWindowEnabled(child) && SendWithin(child, BM_CLICK, 0, timeout);
  return false;
}

bool SendClose(HWND window, Milliseconds timeout) {
  return SendWithin(window, WM_SYSCOMMAND, SC_CLOSE, timeout);
}

std::optional<bool> SendEndSession(HWND window, bool ends, LPARAM how, Milliseconds timeout) {
  DWORD_PTR answer = 0, ignored = 0;
  if (!SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, how, SMTO_ABORTIFHUNG, TimeoutOf(timeout), &answer) ||
      !SendMessageTimeoutW(window, WM_ENDSESSION, ends, how, SMTO_ABORTIFHUNG, TimeoutOf(timeout), &ignored))
    return std::nullopt;
  return answer != FALSE;
}

std::optional<std::chrono::microseconds> AnswerTime(HWND window, Milliseconds timeout) {
  const auto sent = std::chrono::steady_clock::now();
  if (!SendWithin(window, WM_NULL, 0, timeout)) return std::nullopt;
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - sent);
}

std::string ClassNameOf(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return testing::Utf8OfWide(std::wstring_view(name, static_cast<std::size_t>(std::max(length, 0))));
}

std::string StoredText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return testing::Utf8OfWide(text);
}

std::optional<std::string> WindowText(HWND window, Milliseconds timeout) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, TimeoutOf(timeout), &length))
    return std::nullopt;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           TimeoutOf(timeout), &copied))
    return std::nullopt;
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), text.size() - 1));
  return testing::Utf8OfWide(text);
}

bool SetText(HWND window, std::string_view text, Milliseconds timeout) {
  const std::wstring terminated = testing::WideOfUtf8(text);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(terminated.c_str()), SMTO_ABORTIFHUNG,
                             TimeoutOf(timeout), &result) != 0 &&
         result != 0;
}

bool TypeKey(HWND window, Key key, bool shift) {
  SetForegroundWindow(window);
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
  inputs.push_back(KeyInput(VirtualKeyOf(key), false));
  inputs.push_back(KeyInput(VirtualKeyOf(key), true));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return sent == inputs.size();
}

bool PostKey(HWND window, Key key) {
  HWND target = FocusedChild(window).value_or(window);
  const WORD virtualKey = VirtualKeyOf(key);
  // The target's own loop translates the key into its character, as it would for typing.
  const bool down = PostMessageA(target, WM_KEYDOWN, virtualKey, KeyLParam(virtualKey, false)) != FALSE;
  const bool up = PostMessageA(target, WM_KEYUP, virtualKey, KeyLParam(virtualKey, true)) != FALSE;
  // The next key must find the focus where this Tab put it, not where it was when it was posted.
  if (key == Key::Tab && down && up)
    WaitUntil([&] { return FocusedChild(window).value_or(nullptr) != target; }, Milliseconds{1000});
  return down && up;
}

bool TypeText(HWND control, std::string_view text) {
  for (const wchar_t unit : testing::WideOfUtf8(text))
    if (!PostMessageW(control, WM_CHAR, unit, 1)) return false;
  return true;
}

bool RequestClose(HWND window) {
  return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

Size OuterSize(HWND window) {
  const RECT r = OuterRect(window);
  return {r.right - r.left, r.bottom - r.top};
}

Size ClientSize(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

RECT OuterRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

std::optional<COLORREF> ClientPixel(HWND window, int x, int y) {
  POINT point{x, y};
  if (!ClientToScreen(window, &point)) return std::nullopt;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return std::nullopt;
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  if (colour == CLR_INVALID) return std::nullopt;
  return colour;
}

bool Visible(HWND window) {
  return IsWindowVisible(window) != FALSE;
}
bool Enabled(HWND window) {
  return IsWindowEnabled(window) != FALSE;
}

std::optional<HWND> FocusedChild(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0 || !GetGUIThreadInfo(thread, &info) || info.hwndFocus == nullptr) return std::nullopt;
  if (info.hwndFocus != window && !IsChild(window, info.hwndFocus)) return std::nullopt;
  return info.hwndFocus;
}

std::optional<std::size_t> PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return std::nullopt;
  return counters.PeakWorkingSetSize;
}

std::optional<std::size_t> PeakWorkingSet(DWORD pid) {
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return std::nullopt;
  return PeakWorkingSet(process.get());
}

}  // namespace kestel::driver
