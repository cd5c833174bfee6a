// Following the network after logon (follow=1), through the real kestel.exe on a network a test
// moves (NetworkMoves.h): what the follower switches to, how soon, what it maps and leaves alone,
// that it shows nothing, and how /check, /stop and a second run reach it.
#include <gtest/gtest.h>

#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../../ui/ResidentIds.h"
#include "../tools/MprLog.h"
#include "../wine/UserProfileValues.h"
#include "Harness.h"
#include "NetworkMoves.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;
using namespace std::chrono_literals;

constexpr const char* kAwayProxy = "127.0.0.8:3128";
constexpr const char* kLocalProxy = "127.0.0.9:3128";
// The stand-in network provider's calls, in order: the logon run cancels every drive, then at home maps
// each interactively (CONNECT_INTERACTIVE, 8); the follower never prompts.
const std::vector<std::string> kLogonAtHome = {"cancel", "cancel", "add 8", "add 8"};

enum class Move { None, GiveBack, TakeAway, BriefLoss, Flap, SecondRun };

struct Row {
  const char* name;
  bool follow;
  bool credentials;
  Move move;                                 // GiveBack starts away, every other move at home
  std::optional<Milliseconds> switchWithin;  // how soon after the move the proxy switches; nullopt: never
  std::vector<std::string> driveCalls;       // the logon run's included
  friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

std::string Ini(const Sandbox& sandbox, const Row& row) {
  const std::string share = std::string("=\\\\") + MovingNetwork::kHomeServer + "\\share\r\n";
  return std::string("[SCRIPTS]\r\nfollow=") + (row.follow ? "1" : "0") +
         "\r\nlogfile=kestel.log\r\n[connection]\r\nserver=" + MovingNetwork::kHomeServer +
         "\r\n[mappings]\r\nH:" + share + "S:" + share +
         (row.credentials ? "[user]\r\nusername=alice\r\npassword=s3cret\r\n" : "") +
         "[awayinternetsettings]\r\nawayproxyenabled=1\r\nawayproxyserver=" + kAwayProxy +
         "\r\nawayproxyexceptions=\r\nawayhomepage=about:blank\r\n[localinternetsettings]\r\nlocalproxyenabled=1\r\n"
         "localproxyserver=" +
         kLocalProxy + "\r\nlocalproxyexceptions=\r\nlocalhomepage=about:blank\r\n[localpostscripts]\r\n1=" +
         sandbox.RecordArgsCommand("programs.log") + "\r\n";
}

StartOptions Logged(const Sandbox& sandbox, std::string arguments = {}) {
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf("mpr.log")}, {"KESTEL_WININET_LOG", sandbox.PathOf("wininet.log")}};
  options.arguments = std::move(arguments);
  return options;
}

std::optional<std::string> ProxyInForce(const testing::SavedUserProfile& profile) {
  const auto value = testing::GetRaw(profile.proxy.get(), "ProxyServer");
  return value ? std::optional<std::string>(value->data.c_str()) : std::nullopt;
}

// Everything a decision could write: the registry's two keys, kestel.ini and the logs of the
// stand-in network provider and internet library.
std::vector<std::string> Writable(const testing::SavedUserProfile& profile, const Sandbox& sandbox) {
  std::vector<std::string> state;
  for (HKEY key : {profile.proxy.get(), profile.browser.get()}) {
    FILETIME t{};
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &t);
    state.push_back(std::to_string(t.dwHighDateTime) + ":" + std::to_string(t.dwLowDateTime));
  }
  for (const char* name : {"kestel.ini", "mpr.log", "wininet.log"})
    state.push_back(sandbox.ReadFile(name).value_or(""));
  return state;
}

// "cancel", or "add" and the flags of a mapping with the stored credentials; "?" for anything else,
// or a log that cannot be read.
std::vector<std::string> DriveCalls(const Sandbox& sandbox) {
  const auto calls = mpr::ParseLog(sandbox.ReadFile("mpr.log").value_or(""));
  std::vector<std::string> done;
  for (const mpr::Call& call : calls.value_or(std::vector<mpr::Call>(1))) {
    const bool stored = call.Text("user") == "alice" && call.Text("password") == "s3cret";
    if (call.function == mpr::kCancelConnection)
      done.push_back("cancel");
    else
      done.push_back(call.function == mpr::kAddConnection && stored
                         ? "add " + std::to_string(call.Number("flags").value_or(99))
                         : "?");
  }
  return done;
}

// The follower's hidden window; null before it follows.
HWND ResidentWindowOf(const Process& process) {
  for (HWND window : driver::TopLevelWindows(process.Pid(), false))
    if (driver::ClassNameOf(window) == kResidentWindowClass) return window;
  return nullptr;
}

std::size_t LinesWith(const Sandbox& sandbox, const std::string& part) {
  std::size_t count = 0;
  for (const std::string& line : sandbox.ReadLines("kestel.log")) count += line.find(part) != std::string::npos;
  return count;
}

// kestel.exe with a command, which ends at once with exit code 0.
void Command(const Sandbox& sandbox, const char* word) {
  Process command = sandbox.Start(Logged(sandbox, word));
  const RunOutcome outcome = RunToEnd(command, 10000ms);
  EXPECT_FALSE(outcome.box);
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0)) << word;
}

class Follow : public ::testing::TestWithParam<Row> {};

TEST_P(Follow, SwitchesAsTheNetworkMoves) {
  if (!MovingNetwork::Available()) GTEST_SKIP() << "no test hosts: scripts/test.sh sets them up";
  const Row& row = GetParam();
  const char* proxyAfter = row.move == Move::TakeAway ? kAwayProxy : kLocalProxy;
  testing::SavedUserProfile profile;
  MovingNetwork network;
  Sandbox sandbox;
  sandbox.WriteIni(Ini(sandbox, row));
  if (row.move == Move::GiveBack) network.TakeAddressAway();
  Process follower = sandbox.Start(Logged(sandbox));

  if (!row.follow) {
    EXPECT_EQ(RunToEnd(follower).exitCode, std::optional<DWORD>(0)) << "ends after the run, as without the key";
    // Nobody to reach: the commands do nothing.
    const std::size_t lines = sandbox.ReadLines("kestel.log").size();
    Command(sandbox, "/check");
    Command(sandbox, " /STOP ");
    EXPECT_EQ(sandbox.ReadLines("kestel.log").size(), lines);
  } else {
    ASSERT_TRUE(driver::WaitUntil([&] { return ResidentWindowOf(follower) != nullptr; }, kStartTimeout))
        << "not following";
    const std::string ini = *sandbox.ReadIni();
    bool windowShown = false;
    const auto lookForWindows = [&] { windowShown = windowShown || !driver::TopLevelWindows(follower.Pid()).empty(); };
    const std::vector<std::string> before = Writable(profile, sandbox);
    if (row.move == Move::GiveBack) network.GiveAddressBack();
    if (row.move == Move::TakeAway) network.TakeAddressAway();
    if (row.move == Move::BriefLoss) network.TakeAddressAwayFor(2000ms);
    if (row.move == Move::Flap) network.FlapAddress(5, 2000ms);
    if (row.switchWithin) {
      const auto switched = [&] {
        lookForWindows();
        return ProxyInForce(profile) == proxyAfter;
      };
      EXPECT_TRUE(driver::WaitUntil(switched, *row.switchWithin))
          << "the proxy is " << ProxyInForce(profile).value_or("missing") << "; the record:\n"
          << ::testing::PrintToString(sandbox.ReadLines("kestel.log"));
      // What the switch does after the proxy (the drives) is done before the stop is asked for.
      EXPECT_TRUE(driver::WaitUntil([&] { return DriveCalls(sandbox) == row.driveCalls; }, 10000ms));
    }
    if (row.move == Move::SecondRun) {
      Sandbox second;
      second.WriteIni(Ini(second, row));
      Process later = second.Start(Logged(second));
      EXPECT_EQ(RunToEnd(later).exitCode, std::optional<DWORD>(0)) << "the second run ends after its logon run";
      EXPECT_EQ(LinesWith(second, "another Kestel follows the network in this session"), 1u);
      EXPECT_TRUE(follower.Running() && ResidentWindowOf(follower) != nullptr) << "the first follows on";
    }
    // A check asked for before the stop is done before it: whatever the moves left undecided is
    // decided before the follower ends.
    if (!row.switchWithin) Command(sandbox, "/check");
    lookForWindows();
    // One row stops from the icon's menu, whose choice comes to the follower's window.
    const bool fromMenu = row.move == Move::SecondRun;
    if (fromMenu)
      ASSERT_TRUE(PostMessageA(ResidentWindowOf(follower), WM_COMMAND, kStopFollowingCommand, 0));
    else
      Command(sandbox, "/stop");
    // Following ends within a second; the process may take longer to go under Wine, whose system tray
    // waits up to 2 s for a window manager as the icon is removed.
    const std::string stopped = fromMenu ? " follow: stopped by \"Stop following\"" : " follow: stopped by /stop";
    EXPECT_TRUE(driver::WaitUntil([&] { return LinesWith(sandbox, stopped) == 1; }, 1000ms)) << stopped;
    EXPECT_EQ(follower.WaitExit(), std::optional<DWORD>(0));
    EXPECT_FALSE(windowShown) << "a window showed while following";
    EXPECT_EQ(sandbox.ReadIni(), ini) << "kestel.ini is never written while following";
    EXPECT_EQ(LinesWith(sandbox, " switch: "), row.switchWithin ? 1u : 0u);
    EXPECT_EQ(LinesWith(sandbox, "another Kestel's logon run put the local set in force"),
              row.move == Move::SecondRun ? 1u : 0u);
    if (row.move == Move::None) {
      EXPECT_EQ(Writable(profile, sandbox), before) << "a check that changes nothing writes nothing";
    }
  }
  EXPECT_EQ(ProxyInForce(profile), proxyAfter);
  EXPECT_EQ(DriveCalls(sandbox), row.driveCalls) << "only the logon run cancels drives";
  EXPECT_EQ(sandbox.ReadRecords("programs.log").value_or(std::vector<testing::RecordedStart>{}).size(),
            row.move == Move::GiveBack ? 0u : 1u)
      << "only the logon run at home runs the programs: followprograms is not set";
  EXPECT_EQ(LinesWith(sandbox, "none stored: no drive is mapped while following"), row.credentials ? 0u : 1u);
}

// A stale password in kestel.ini, which the server refuses with logon failure: three arrivals home make
// one try in all, and the drive waits for a new password; once kestel.ini holds one, the next arrival
// maps every drive with it. The follower's window answers while the try waits on the slow server.
TEST(FollowRefused, APasswordIsTriedOnceUntilKestelIniHoldsAnother) {
  if (!MovingNetwork::Available()) GTEST_SKIP() << "no test hosts: scripts/test.sh sets them up";
  testing::SavedUserProfile profile;
  MovingNetwork network;
  Sandbox sandbox;
  const std::string ini = Ini(sandbox, Row{"", true, true, Move::GiveBack, {}, {}});
  sandbox.WriteIni(ini);
  network.TakeAddressAway();
  StartOptions options = Logged(sandbox);
  options.env.emplace_back("KESTEL_MPR_RULES", "add:s3cret=1326");
  options.env.emplace_back("KESTEL_MPR_ADD_MS", "5000");
  Process follower = sandbox.Start(options);
  ASSERT_TRUE(driver::WaitUntil([&] { return ResidentWindowOf(follower) != nullptr; }, kStartTimeout));
  const auto adds = [&](const char* password) {
    std::size_t count = 0;
    for (const mpr::Call& call :
         mpr::ParseLog(sandbox.ReadFile("mpr.log").value_or("")).value_or(std::vector<mpr::Call>{}))
      count += call.function == mpr::kAddConnection && call.Text("password") == password;
    return count;
  };
  // Each move is decided at once on a check; away is still confirmed over 15 s.
  const auto move = [&](bool home) {
    if (home)
      network.GiveAddressBack();
    else
      network.TakeAddressAway();
    Command(sandbox, "/check");
    const char* proxy = home ? kLocalProxy : kAwayProxy;
    ASSERT_TRUE(driver::WaitUntil([&] { return ProxyInForce(profile) == proxy; }, 30000ms)) << (home ? "home" : "away");
  };
  move(true);
  const AnswerTimes looks = LooksWhile(ResidentWindowOf(follower), [&] { return adds("s3cret") == 0; });
  std::cout << "the follower's answer times while an add waits: " << Describe(looks) << "\n";
  EXPECT_GE(looks.size(), 2u) << "too few looks within the wait";
  for (const auto& answered : looks) EXPECT_TRUE(answered) << Describe(looks);
  for (int arrival = 2; arrival <= 3; ++arrival) {
    move(false);
    move(true);
  }
  // A switch away comes only after the switch home before it has ended: whatever it tried is logged.
  move(false);
  EXPECT_EQ(adds("s3cret"), 1u) << "one try in all, for the first drive only";
  EXPECT_EQ(LinesWith(sandbox, "refused the stored credentials"), 1u);
  std::string renewed = ini;
  renewed.replace(renewed.find("password=s3cret"), 15, "password=n3w");
  sandbox.WriteIni(renewed);
  move(true);
  EXPECT_TRUE(driver::WaitUntil([&] { return adds("n3w") == 2; }, 30000ms)) << "both drives mapped with it";
  Command(sandbox, "/stop");
  EXPECT_EQ(follower.WaitExit(), std::optional<DWORD>(0));
  EXPECT_EQ(adds("s3cret"), 1u);
  EXPECT_EQ(LinesWith(sandbox, "refused the stored credentials"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Follow, Follow,
    ::testing::Values(Row{"FollowZeroEndsAfterTheRun", false, true, Move::None, {}, kLogonAtHome},
                      Row{"AwayToHome", true, true, Move::GiveBack, 10000ms, {"cancel", "cancel", "add 0", "add 0"}},
                      Row{"HomeToAway", true, true, Move::TakeAway, 30000ms, kLogonAtHome},
                      Row{"BriefLossAtHome", true, true, Move::BriefLoss, {}, kLogonAtHome},
                      Row{"FlappingAtHome", true, true, Move::Flap, {}, kLogonAtHome},
                      Row{"NoCredentialsNoWindow", true, false, Move::GiveBack, 10000ms, {"cancel", "cancel"}},
                      Row{"CheckWritesNothing", true, true, Move::None, {}, kLogonAtHome},
                      Row{"SecondRunLeavesTheFirst", true, true, Move::SecondRun, {}, kLogonAtHome}),
    CaseName);

}  // namespace
}  // namespace kestel::e2e
