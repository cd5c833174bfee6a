// The keyboard rules of the logon dialog, kept free of the platform so they can be checked alone.
#pragma once

#include <array>
#include <cstddef>

namespace kestel::dialogkeys {

// The controls that take part in the keyboard rules, and None for anything else (the frame itself).
enum class Control { None, Logon, Cancel, UserName, Password };

enum class Key { Return, Escape, Tab, Other };

struct KeyPress {
  Key key = Key::Other;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

struct Decision {
  enum class Kind {
    PassOn,   // let the focused control handle the key as usual
    Swallow,  // drop the key: nothing acts on it
    Click,    // activate the button `target`
    Focus,    // move the focus to `target`
  };
  Kind kind = Kind::PassOn;
  Control target = Control::None;
};

struct DialogState {
  bool dialogActive = false;  // false while the window only shows status
  Control focus = Control::None;
  bool logonEnabled = true;
  bool cancelEnabled = true;
};

inline constexpr std::array<Control, 4> kTabOrder{Control::Logon, Control::Cancel, Control::UserName,
                                                  Control::Password};

inline constexpr bool IsButton(Control c) {
  return c == Control::Logon || c == Control::Cancel;
}

inline constexpr bool IsEnabled(const DialogState& s, Control c) {
  if (c == Control::Logon) return s.logonEnabled;
  if (c == Control::Cancel) return s.cancelEnabled;
  return c != Control::None;
}

// The button Enter would activate, which is the one drawn with the default frame.
inline constexpr Control DefaultButton(Control focus) {
  return IsButton(focus) ? focus : Control::Logon;
}

// The next enabled control in tab order after `from` (or the first, when `from` takes no part),
// wrapping around; None when nothing can take the focus.
inline constexpr Control NextInTabOrder(const DialogState& s, Control from, bool backwards) {
  constexpr std::size_t n = kTabOrder.size();
  std::size_t at = n;
  for (std::size_t i = 0; i < n; ++i)
    if (kTabOrder[i] == from) at = i;
  for (std::size_t step = 1; step <= n; ++step) {
    std::size_t i = 0;
    if (at == n)
      i = backwards ? n - step : step - 1;
    else
      i = backwards ? (at + n - step) % n : (at + step) % n;
    if (IsEnabled(s, kTabOrder[i])) return kTabOrder[i];
  }
  return Control::None;
}

// What a key press does. While the window only shows status no key acts: the buttons lie out of
// sight then, and a stray Enter would confirm credentials nobody typed.
inline constexpr Decision Decide(const DialogState& s, const KeyPress& k) {
  using Kind = Decision::Kind;
  if (!s.dialogActive) return {Kind::Swallow, Control::None};
  const bool plain = !k.shift && !k.ctrl && !k.alt;
  switch (k.key) {
    case Key::Return: {
      if (!plain) return {Kind::PassOn, Control::None};
      const Control target = DefaultButton(s.focus);
      return IsEnabled(s, target) ? Decision{Kind::Click, target} : Decision{Kind::Swallow, Control::None};
    }
    case Key::Escape:
      if (!plain) return {Kind::PassOn, Control::None};
      return s.cancelEnabled ? Decision{Kind::Click, Control::Cancel} : Decision{Kind::Swallow, Control::None};
    case Key::Tab: {
      if (k.ctrl || k.alt) return {Kind::PassOn, Control::None};
      const Control next = NextInTabOrder(s, s.focus, k.shift);
      return next == Control::None ? Decision{Kind::Swallow, Control::None} : Decision{Kind::Focus, next};
    }
    case Key::Other:
      break;
  }
  return {Kind::PassOn, Control::None};
}

}  // namespace kestel::dialogkeys
