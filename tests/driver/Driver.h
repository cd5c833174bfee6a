// Finds, reads and answers the windows of another process under the same wineserver: the
// end-to-end tests link it in-process, and driver.exe offers it to scripts.
//
// Tests run in parallel, so every search is filtered by the process id of the program under test.
// Every wait polls with a short interval up to a deadline; none sleeps for a fixed time. A wait for a
// window of a process also ends, empty-handed, as soon as that process has ended.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestel::driver {

using Milliseconds = std::chrono::milliseconds;
inline constexpr Milliseconds kPollInterval{20};

// Owns a kernel handle (process, thread, file, snapshot); INVALID_HANDLE_VALUE and null are empty.
struct HandleCloser {
  void operator()(HANDLE h) const noexcept {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Calls condition every interval until it answers true or timeout has passed; true when it did.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout, Milliseconds interval = kPollInterval);

// ---- Finding windows ----------------------------------------------------------------------------

// Top-level windows owned by process pid, in z-order; only the visible ones unless told otherwise.
std::vector<HWND> TopLevelWindows(DWORD pid, bool visibleOnly = true);
// The first visible top-level window of pid whose class (empty: any) and caption (nullopt: any)
// match exactly.
std::optional<HWND> FindWindowOf(DWORD pid, std::string_view className, std::optional<std::string_view> caption = {});
std::optional<HWND> WaitForWindow(DWORD pid, std::string_view className, std::optional<std::string_view> caption,
                                  Milliseconds timeout);
// Waits until window is destroyed or hidden; true when it went in time.
bool WaitForWindowGone(HWND window, Milliseconds timeout);

// Direct children of parent, in z-order.
std::vector<HWND> Children(HWND parent);
// The first child (at any depth) of class className (case-insensitive, empty: any) whose text
// matches exactly when text is given.
std::optional<HWND> FindChild(HWND parent, std::string_view className, std::optional<std::string_view> text = {});
std::optional<HWND> FindChildById(HWND parent, int controlId);

// ---- Boxes: message boxes (#32770) and the program's own notice box --------------------------

// A box is a visible, enabled top-level window with at least one button and no edit control, so the
// logon window, which has edits, never counts as one.
bool IsBox(HWND window);
std::optional<HWND> FindBox(DWORD pid, std::optional<std::string_view> caption = {});
std::optional<HWND> WaitForBox(DWORD pid, Milliseconds timeout, std::optional<std::string_view> caption = {});

struct BoxContent {
  HWND window = nullptr;
  std::string caption;
  // The non-empty static texts in z-order, joined by "\n" (a single text stays as it is).
  std::string text;
  // Button captions in z-order, '&' mnemonics removed.
  std::vector<std::string> buttons;
  bool hasIcon = false;
};
BoxContent ReadBox(HWND box);
// Waits for a box of pid and reads it; nullopt when none appeared in time.
std::optional<BoxContent> WaitForBoxContent(DWORD pid, Milliseconds timeout,
                                            std::optional<std::string_view> caption = {});

// Whether a static control of the box shows an icon (Wine keeps the icon control even without one).
bool BoxHasIcon(HWND box);
std::vector<std::string> ButtonCaptions(HWND window);
// Clicks the button whose caption (mnemonics removed) is caption; false when there is none or it is
// disabled. The click's BN_CLICKED is posted, so the call never blocks on the target's modal loop.
bool PressButton(HWND window, std::string_view caption);

// The same press and close box as UI automation makes them: BM_CLICK, or WM_SYSCOMMAND SC_CLOSE,
// sent (not posted) and handled within timeout. false when there is no such enabled button or the
// target did not handle the message in time.
bool SendClick(HWND window, std::string_view caption, Milliseconds timeout = Milliseconds{5000});
bool SendClose(HWND window, Milliseconds timeout = Milliseconds{5000});
// WM_QUERYENDSESSION, then WM_ENDSESSION with ends, both with how as lParam (ENDSESSION_LOGOFF, Restart
// Manager's ENDSESSION_CLOSEAPP...), sent as the system sends them at an end of the session: the answer to
// the query, nullopt when either went unanswered within timeout.
std::optional<bool> SendEndSession(HWND window, bool ends, LPARAM how, Milliseconds timeout = Milliseconds{5000});
// WM_NULL, sent as the system sends it to tell a hung window (SMTO_ABORTIFHUNG); how long the
// answer took, nullopt when none came within timeout.
std::optional<std::chrono::microseconds> AnswerTime(HWND window, Milliseconds timeout = Milliseconds{1000});

// ---- Texts --------------------------------------------------------------------------------------

std::string ClassNameOf(HWND window);
// The stored text (GetWindowText): answers even while the window's thread is blocked.
std::string StoredText(HWND window);
// WM_GETTEXT, marshalled to the window's thread (an edit's live contents); bounded wait.
std::optional<std::string> WindowText(HWND window, Milliseconds timeout = Milliseconds{5000});
// WM_SETTEXT, marshalled; false when the window did not answer in time or refused.
bool SetText(HWND window, std::string_view text, Milliseconds timeout = Milliseconds{5000});

// ---- Keys and closing ---------------------------------------------------------------------------

enum class Key { Return, Escape, Tab, Space };
// Brings window to the front, then types key (with Shift held when asked) through SendInput.
bool TypeKey(HWND window, Key key, bool shift = false);
// Posts WM_KEYDOWN/WM_KEYUP to the control that has the focus in window's thread (or to window).
// The target's key state does not see Shift this way, so Shift+Tab needs TypeKey. A posted Tab waits
// (at most a second) until the focus has moved, so that the next key goes to the new control.
bool PostKey(HWND window, Key key);
// Posts each UTF-16 unit of text (UTF-8) as a wide WM_CHAR to control, as a keyboard of any language
// would type it: the letters arrive whole only through a Unicode control and a W message loop.
bool TypeText(HWND control, std::string_view text);
// The close box: posts WM_SYSCOMMAND SC_CLOSE.
bool RequestClose(HWND window);

// ---- Geometry, pixels, state --------------------------------------------------------------------

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};
Size OuterSize(HWND window);
Size ClientSize(HWND window);
RECT OuterRect(HWND window);
// The colour at client point (x, y) as the screen shows it; nullopt outside the screen.
std::optional<COLORREF> ClientPixel(HWND window, int x, int y);
bool Visible(HWND window);
bool Enabled(HWND window);
// The child that has the keyboard focus in window's thread; nullopt when the focus is elsewhere.
std::optional<HWND> FocusedChild(HWND window);

// ---- Processes ----------------------------------------------------------------------------------

// Peak working set of a process in bytes; nullopt when it cannot be read.
std::optional<std::size_t> PeakWorkingSet(HANDLE process);
std::optional<std::size_t> PeakWorkingSet(DWORD pid);

}  // namespace kestel::driver
