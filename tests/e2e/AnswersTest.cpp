// The window answers while a step of the run waits: a drive add at a slow server, a program that runs
// for a while. Windows marks a window that takes no message for 5 s "Not Responding" and offers to end
// the program; Wine does not, but a WM_NULL sent the way the system tests for a hung window shows it.
// Everything the run does stays as it was, a close sent meanwhile included: it only marks the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "../../ui/ControlIds.h"
#include "../tools/MprLog.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;

constexpr const char* kCaption = "Kestel: Network Roaming Software";
constexpr const char* kLocalProxy = "127.0.0.9:3128";
// Longer than the 5 s after which the system counts a window as hung, with room for several looks.
constexpr const char* kSlowMs = "12000";

struct Row {
  const char* name;
  bool slowAdd;      // or a slow program
  const char* step;  // the status while it waits
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

class WindowAnswers : public ::testing::TestWithParam<Row> {};

TEST_P(WindowAnswers, WhileAStepWaits) {
  const Row& row = GetParam();
  const testing::SavedUserProfile profile;
  const Sandbox box;
  box.WriteIni(
      "[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=alice\r\npassword=s3cret\r\n"
      "[mappings]\r\nX:=\\\\127.0.0.1\\share\r\n[awayinternetsettings]\r\nawayproxyenabled=0\r\n"
      "awayproxyserver=\r\nawayproxyexceptions=\r\nawayhomepage=about:blank\r\n[localinternetsettings]\r\n"
      "localproxyenabled=1\r\nlocalproxyserver=" +
      std::string(kLocalProxy) + "\r\nlocalproxyexceptions=\r\nlocalhomepage=about:blank\r\n" +
      "[localpostscripts]\r\n1=" +
      box.RecordArgsCommand("program.log", row.slowAdd ? "" : std::string("--sleep ") + kSlowMs) + "\r\n");
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", box.PathOf("mpr.log")}};
  if (row.slowAdd) options.env.emplace_back("KESTEL_MPR_ADD_MS", kSlowMs);
  Process process = box.Start(options);
  HWND form = driver::WaitForWindow(process.Pid(), "", kCaption, kStartTimeout).value_or(nullptr);
  ASSERT_NE(form, nullptr);
  HWND status = driver::FindChildById(form, kIdStatusLine).value_or(nullptr);
  ASSERT_TRUE(driver::WaitUntil([&] { return driver::StoredText(status) == row.step; }, kStartTimeout));

  // The add is logged as it returns, the program records itself as it ends.
  const auto added = [&] {
    const auto calls = mpr::ReadLog(box.PathOf("mpr.log")).value_or(std::vector<mpr::Call>{});
    return std::count_if(calls.begin(), calls.end(), [](const auto& c) { return c.function == mpr::kAddConnection; });
  };
  const auto waiting = [&] { return row.slowAdd ? added() == 0 : !box.ReadFile("program.log"); };
  EXPECT_TRUE(driver::SendClose(form, Milliseconds{1000})) << "a close sent meanwhile is answered";
  const AnswerTimes looks = LooksWhile(form, waiting);
  std::cout << "answer times while waiting: " << Describe(looks) << "\n";
  EXPECT_GE(looks.size(), 5u) << "too few looks within the wait";
  for (const auto& answered : looks) EXPECT_TRUE(answered) << Describe(looks);

  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  const auto calls = mpr::ReadLog(box.PathOf("mpr.log")).value_or(std::vector<mpr::Call>{});
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].function, mpr::kCancelConnection);
  EXPECT_EQ(calls[0].Text("name"), "X:");
  EXPECT_EQ(calls[0].Number("force"), 1u);
  EXPECT_EQ(calls[1].function, mpr::kAddConnection);
  EXPECT_EQ(calls[1].Text("owner_class"), "KestelStatusWindow") << "owned by the window, as before";
  EXPECT_EQ(calls[1].Text("owner_own"), "1");
  EXPECT_EQ(calls[1].Text("user"), "alice");
  EXPECT_EQ(calls[1].Text("password"), "s3cret");
  EXPECT_EQ(calls[1].Number("flags"), 8u) << "CONNECT_INTERACTIVE";
  EXPECT_EQ(box.ReadRecords("program.log").value_or(std::vector<testing::RecordedStart>{}).size(), 1u);
  const auto proxy = testing::GetRaw(profile.proxy.get(), "ProxyServer");
  EXPECT_EQ(proxy ? std::string(proxy->data.c_str()) : "missing", kLocalProxy);
}

INSTANTIATE_TEST_SUITE_P(AnswersWhileWaiting, WindowAnswers,
                         ::testing::Values(Row{"SlowDriveAdd", true, "Mapping Drives 127.0.0.1"},
                                           Row{"SlowProgram", false, "Running Post Logon Program"}),
                         CaseName);

}  // namespace
}  // namespace kestel::e2e
