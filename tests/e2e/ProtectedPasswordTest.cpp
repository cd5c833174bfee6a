// The stored password through whole runs of kestel.exe with "protectpassword": what each run maps
// with (through the stand-in provider), whether it asks, what it leaves in kestel.ini, and what the
// next run makes of that.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "../../ui/ControlIds.h"
#include "../tools/MprLog.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;

constexpr const char* kFormClass = "KestelStatusWindow";
constexpr const char* kPrefix = "{protected}";
constexpr const char* kTyped = "Typed s3cret";

struct HomeRun {
  bool asked = false;
  std::optional<std::string> mappedWith;
  std::optional<DWORD> exitCode;
};

// One run at home with one drive; the logon dialog, if it comes, is answered with alice and kTyped.
HomeRun RunAtHome(const Sandbox& sandbox) {
  sandbox.Remove("mpr.log");
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf("mpr.log")}};
  Process process = sandbox.Start(options);
  HomeRun run;
  std::optional<HWND> form;
  driver::WaitUntil(
      [&] {
        if (process.WaitExit(Milliseconds{0})) return true;
        form = driver::FindWindowOf(process.Pid(), kFormClass);
        return form && driver::Visible(*form) && driver::OuterSize(*form).height == 210;
      },
      kExitTimeout);
  if (process.Running() && form) {
    run.asked = true;
    EXPECT_TRUE(driver::SetText(driver::FindChildById(*form, kIdUserName).value_or(nullptr), "alice"));
    EXPECT_TRUE(driver::SetText(driver::FindChildById(*form, kIdPassword).value_or(nullptr), kTyped));
    EXPECT_TRUE(driver::PressButton(*form, "Logon"));
  }
  run.exitCode = process.WaitExit();
  const auto calls = mpr::ParseLog(sandbox.ReadFile("mpr.log").value_or(""));
  for (const mpr::Call& call : calls.value_or(std::vector<mpr::Call>{}))
    if (call.function == mpr::kAddConnection) run.mappedWith = call.Text("password");
  return run;
}

std::string StoredPassword(const Sandbox& sandbox) {
  for (const std::string& line : sandbox.ReadLines("kestel.ini"))
    if (line.starts_with("password=")) return line.substr(9);
  return "(none)";
}

struct Row {
  const char* name;
  const char* userLines;  // after [user] and username=alice
  bool asks;
  const char* mappedWith;
  bool storedProtected;  // otherwise stored as mapped, in plain
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

class ProtectPassword : public ::testing::TestWithParam<Row> {};

TEST_P(ProtectPassword, FirstRunStoresAndTheNextMapsWithoutAsking) {
  const Row& row = GetParam();
  testing::SavedUserProfile profile;
  Sandbox sandbox;
  sandbox.WriteIni(std::string("[connection]\r\nserver=127.0.0.1\r\n[user]\r\nusername=alice\r\n") + row.userLines +
                   "[mappings]\r\nH:=\\\\127.0.0.1\\home\r\n");

  const HomeRun first = RunAtHome(sandbox);
  EXPECT_EQ(first.exitCode, std::optional<DWORD>(0));
  EXPECT_EQ(first.asked, row.asks);
  EXPECT_EQ(first.mappedWith, row.mappedWith);
  const std::string stored = StoredPassword(sandbox);
  if (row.storedProtected) {
    EXPECT_TRUE(stored.starts_with(kPrefix)) << stored;
    EXPECT_EQ(sandbox.ReadIni().value_or("").find(row.mappedWith), std::string::npos) << *sandbox.ReadIni();
  } else {
    EXPECT_EQ(stored, row.mappedWith);
  }

  const HomeRun next = RunAtHome(sandbox);
  EXPECT_EQ(next.exitCode, std::optional<DWORD>(0));
  EXPECT_FALSE(next.asked);
  EXPECT_EQ(next.mappedWith, row.mappedWith);
  EXPECT_EQ(StoredPassword(sandbox), stored) << "nothing left to write";
}

INSTANTIATE_TEST_SUITE_P(ProtectedPassword, ProtectPassword,
                         ::testing::Values(Row{"TypedWithTheFlagOn", "protectpassword=1\r\n", true, kTyped, true},
                                           Row{"PlainWithTheFlagOn", "password=adm1n-s3cret\r\nprotectpassword=1\r\n",
                                               false, "adm1n-s3cret", true},
                                           Row{"UnreadableWithTheFlagOn",
                                               "password={protected}AAAA\r\nprotectpassword=1\r\n", true, kTyped, true},
                                           Row{"TypedWithTheFlagOff", "protectpassword=0\r\n", true, kTyped, false}),
                         CaseName);

}  // namespace
}  // namespace kestel::e2e
