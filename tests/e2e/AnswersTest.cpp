// The window answers while a step of the run waits: a drive add at a slow server, a program that runs
// for a while. Windows marks a window that takes no message for 5 s "Not Responding" and offers to end
// the program; Wine does not, but a WM_NULL sent the way the system tests for a hung window shows it.
// Everything the run does stays as it was, a close and a refused end of the session sent meanwhile
// included. Once the session ends (WM_ENDSESSION TRUE: a logoff, or Restart Manager's request to close),
// the step under way completes and nothing after it starts.
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
constexpr const char* kMapping = "Mapping Drives 127.0.0.1";
constexpr const char* kPrograms = "Running Post Logon Program";

struct Row {
  const char* name;
  bool slowAdd;      // or a slow program
  const char* step;  // the status while it waits
  bool ends;         // WM_ENDSESSION's wParam: the session ends, or another program refused the end
  LPARAM how;        // its lParam
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

class WindowAnswers : public ::testing::TestWithParam<Row> {};

TEST_P(WindowAnswers, WhileAStepWaits) {
  const Row& row = GetParam();
  const testing::SavedUserProfile profile;
  const Sandbox box;
  // protectpassword=1 rewrites the password in kestel.ini once every drive has mapped. A second drive
  // where the session ends, so that one is left to add after a slow one; an add the session's end cut
  // short fails, and its box would hold the end up.
  const bool cutInAdd = row.ends && row.slowAdd;
  box.WriteIni("[SCRIPTS]\r\nlogfile=kestel.log\r\nshowmaperrors=" + std::string(cutInAdd ? "1" : "0") +
               "\r\n[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=alice\r\n"
               "password=s3cret\r\nprotectpassword=1\r\n[mappings]\r\nX:=\\\\127.0.0.1\\share\r\n" +
               std::string(row.ends ? "Y:=\\\\127.0.0.1\\other\r\n" : "") +
               "[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayproxyserver=\r\nawayproxyexceptions=\r\n"
               "awayhomepage=about:blank\r\n[localinternetsettings]\r\nlocalproxyenabled=1\r\nlocalproxyserver=" +
               kLocalProxy + "\r\nlocalproxyexceptions=\r\nlocalhomepage=about:blank\r\n[localpostscripts]\r\n1=" +
               box.RecordArgsCommand("program.log", row.slowAdd ? "" : std::string("--sleep ") + kSlowMs) +
               "\r\n2=" + box.RecordArgsCommand("program.log") + "\r\n");
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", box.PathOf("mpr.log")}};
  if (row.slowAdd) options.env.emplace_back("KESTEL_MPR_ADD_MS", kSlowMs);
  if (cutInAdd) options.env.emplace_back("KESTEL_MPR_RULES", "add:X:=53");
  Process process = box.Start(options);
  HWND form = driver::WaitForWindow(process.Pid(), "", kCaption, kStartTimeout).value_or(nullptr);
  ASSERT_NE(form, nullptr);
  HWND status = driver::FindChildById(form, kIdStatusLine).value_or(nullptr);
  ASSERT_TRUE(driver::WaitUntil([&] { return driver::StoredText(status) == row.step; }, kStartTimeout));
  const std::optional<std::string> iniAtTheStep = box.ReadIni();

  // The add is logged as it returns, the program records itself as it ends.
  const auto added = [&] {
    const auto calls = mpr::ReadLog(box.PathOf("mpr.log")).value_or(std::vector<mpr::Call>{});
    return std::count_if(calls.begin(), calls.end(), [](const auto& c) { return c.function == mpr::kAddConnection; });
  };
  const auto waiting = [&] { return row.slowAdd ? added() == 0 : !box.ReadFile("program.log"); };
  EXPECT_TRUE(driver::SendClose(form, Milliseconds{1000})) << "a close sent meanwhile is answered";
  EXPECT_EQ(driver::SendEndSession(form, row.ends, row.how, Milliseconds{1000}), std::optional<bool>(true))
      << "the query is answered at once, and never refused";
  const AnswerTimes looks = LooksWhile(form, waiting);
  std::cout << "answer times while waiting: " << Describe(looks) << "\n";
  EXPECT_GE(looks.size(), 5u) << "too few looks within the wait";
  for (const auto& answered : looks) EXPECT_TRUE(answered) << Describe(looks);

  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
  // What the session's end cut short: the drive after a slow add and everything after it; the program
  // after a slow program.
  const std::size_t drives = row.ends ? 2 : 1, adds = cutInAdd ? 1 : drives;
  const auto calls = mpr::ReadLog(box.PathOf("mpr.log")).value_or(std::vector<mpr::Call>{});
  ASSERT_EQ(calls.size(), drives + adds);
  EXPECT_EQ(calls[0].function, mpr::kCancelConnection);
  EXPECT_EQ(calls[0].Text("name"), "X:");
  EXPECT_EQ(calls[0].Number("force"), 1u);
  const mpr::Call& add = calls[drives];
  EXPECT_EQ(add.function, mpr::kAddConnection);
  EXPECT_EQ(add.Text("owner_class"), "KestelStatusWindow") << "owned by the window, as before";
  EXPECT_EQ(add.Text("owner_own"), "1");
  EXPECT_EQ(add.Text("user"), "alice");
  EXPECT_EQ(add.Text("password"), "s3cret");
  EXPECT_EQ(add.Number("flags"), 8u) << "CONNECT_INTERACTIVE";
  EXPECT_EQ(box.ReadRecords("program.log").value_or(std::vector<testing::RecordedStart>{}).size(),
            row.ends ? (row.slowAdd ? 0u : 1u) : 2u);
  EXPECT_EQ(box.ReadIni() != iniAtTheStep, row.slowAdd && !row.ends) << "the password protected after the step";
  const auto proxy = testing::GetRaw(profile.proxy.get(), "ProxyServer");
  EXPECT_EQ(proxy && std::string(proxy->data.c_str()) == kLocalProxy, !cutInAdd);
  std::vector<std::string> ends;  // without the time they took
  for (const std::string& line : box.ReadLines("kestel.log"))
    if (const auto at = line.find(" end: "); at != std::string::npos)
      ends.push_back(line.substr(at + 1, line.find(", total") - at - 1));
  EXPECT_EQ(ends, std::vector<std::string>{row.ends ? "end: ended with the session, exit code 0"
                                                    : "end: home run complete, exit code 0"});
}

INSTANTIATE_TEST_SUITE_P(AnswersWhileWaiting, WindowAnswers,
                         ::testing::Values(Row{"SlowDriveAdd", true, kMapping, false, ENDSESSION_CLOSEAPP},
                                           Row{"SlowProgram", false, kPrograms, false, ENDSESSION_LOGOFF},
                                           Row{"LogoffInSlowDriveAdd", true, kMapping, true, ENDSESSION_LOGOFF},
                                           Row{"CloseAskedInSlowProgram", false, kPrograms, true, ENDSESSION_CLOSEAPP}),
                         CaseName);

}  // namespace
}  // namespace kestel::e2e
