// The logon dialog's keyboard rules, and that the status display acts on no key at all.
#include <gtest/gtest.h>

#include <vector>

#include "ui/DialogKeys.h"

namespace kestel::dialogkeys {
namespace {

using Kind = Decision::Kind;

struct KeyCase {
  const char* what;
  DialogState state;
  KeyPress key;
  Kind kind;
  Control target;
};

DialogState Dialog(Control focus, bool logonEnabled = true, bool cancelEnabled = true) {
  return {true, focus, logonEnabled, cancelEnabled};
}
DialogState StatusOnly(Control focus) {
  return {false, focus, true, true};
}
KeyPress Plain(Key k) {
  return {k, false, false, false};
}
KeyPress Shift(Key k) {
  return {k, true, false, false};
}
KeyPress Ctrl(Key k) {
  return {k, false, true, false};
}

TEST(DialogKeys, DecideEachKeyByFocusAndState) {
  const std::vector<KeyCase> cases = {
      {"Enter in username confirms", Dialog(Control::UserName), Plain(Key::Return), Kind::Click, Control::Logon},
      {"Enter in password confirms", Dialog(Control::Password), Plain(Key::Return), Kind::Click, Control::Logon},
      {"Enter on Logon confirms", Dialog(Control::Logon), Plain(Key::Return), Kind::Click, Control::Logon},
      {"Enter on Cancel cancels", Dialog(Control::Cancel), Plain(Key::Return), Kind::Click, Control::Cancel},
      {"Enter with the frame focused", Dialog(Control::None), Plain(Key::Return), Kind::Click, Control::Logon},
      {"Enter with Logon disabled", Dialog(Control::Password, false), Plain(Key::Return), Kind::Swallow, Control::None},
      {"Shift+Enter is no confirmation", Dialog(Control::Password), Shift(Key::Return), Kind::PassOn, Control::None},
      {"Ctrl+Enter is no confirmation", Dialog(Control::UserName), Ctrl(Key::Return), Kind::PassOn, Control::None},
      {"Esc in username cancels", Dialog(Control::UserName), Plain(Key::Escape), Kind::Click, Control::Cancel},
      {"Esc in password cancels", Dialog(Control::Password), Plain(Key::Escape), Kind::Click, Control::Cancel},
      {"Esc on Logon cancels", Dialog(Control::Logon), Plain(Key::Escape), Kind::Click, Control::Cancel},
      {"Esc with Cancel disabled", Dialog(Control::UserName, true, false), Plain(Key::Escape), Kind::Swallow,
       Control::None},
      {"Shift+Esc does nothing special", Dialog(Control::UserName), Shift(Key::Escape), Kind::PassOn, Control::None},
      {"other keys go to the control", Dialog(Control::UserName), Plain(Key::Other), Kind::PassOn, Control::None},
      {"Tab from password wraps to Logon", Dialog(Control::Password), Plain(Key::Tab), Kind::Focus, Control::Logon},
      {"Tab from Logon", Dialog(Control::Logon), Plain(Key::Tab), Kind::Focus, Control::Cancel},
      {"Tab from Cancel", Dialog(Control::Cancel), Plain(Key::Tab), Kind::Focus, Control::UserName},
      {"Tab from username", Dialog(Control::UserName), Plain(Key::Tab), Kind::Focus, Control::Password},
      {"Shift+Tab from Logon wraps", Dialog(Control::Logon), Shift(Key::Tab), Kind::Focus, Control::Password},
      {"Shift+Tab from username", Dialog(Control::UserName), Shift(Key::Tab), Kind::Focus, Control::Cancel},
      {"Tab skips a disabled Logon", Dialog(Control::Password, false), Plain(Key::Tab), Kind::Focus, Control::Cancel},
      {"Tab from the frame starts the order", Dialog(Control::None), Plain(Key::Tab), Kind::Focus, Control::Logon},
      {"Shift+Tab from the frame ends it", Dialog(Control::None), Shift(Key::Tab), Kind::Focus, Control::Password},
      {"Ctrl+Tab is left alone", Dialog(Control::UserName), Ctrl(Key::Tab), Kind::PassOn, Control::None},
      // Only status on show: nothing of the hidden dialog may be reached from the keyboard.
      {"status: Enter", StatusOnly(Control::Logon), Plain(Key::Return), Kind::Swallow, Control::None},
      {"status: Esc", StatusOnly(Control::None), Plain(Key::Escape), Kind::Swallow, Control::None},
      {"status: Tab", StatusOnly(Control::None), Plain(Key::Tab), Kind::Swallow, Control::None},
      {"status: any key", StatusOnly(Control::UserName), Plain(Key::Other), Kind::Swallow, Control::None},
  };
  for (const KeyCase& c : cases) {
    const Decision d = Decide(c.state, c.key);
    EXPECT_EQ(d.kind, c.kind) << c.what;
    EXPECT_EQ(d.target, c.target) << c.what;
  }
}

TEST(DialogKeys, DefaultFrameFollowsTheFocusedButtonElseLogon) {
  EXPECT_EQ(DefaultButton(Control::Logon), Control::Logon);
  EXPECT_EQ(DefaultButton(Control::Cancel), Control::Cancel);
  EXPECT_EQ(DefaultButton(Control::UserName), Control::Logon);
  EXPECT_EQ(DefaultButton(Control::Password), Control::Logon);
  EXPECT_EQ(DefaultButton(Control::None), Control::Logon);
}

TEST(DialogKeys, TabOrderWithNothingEnabledToTakeTheFocus) {
  // Only the edits are left: the cycle runs between them in both directions.
  const DialogState edits = Dialog(Control::UserName, false, false);
  EXPECT_EQ(NextInTabOrder(edits, Control::Password, false), Control::UserName);
  EXPECT_EQ(NextInTabOrder(edits, Control::UserName, true), Control::Password);
  EXPECT_EQ(NextInTabOrder(edits, Control::UserName, false), Control::Password);
}

}  // namespace
}  // namespace kestel::dialogkeys
