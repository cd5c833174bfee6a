// Drive connections through a whole run: the real kestel.exe with the recording stand-in provider
// beside it, which logs every call and fails the ones the test names.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "../tools/MprLog.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

namespace mpr = kestel::testing::mpr;

constexpr const char* kTitle = "KESTEL Network Roaming Software";
constexpr const char* kSummary =
    "An error occured mapping one or more drives. For Details enable showMapErrors=1 in under [SCRIPTS] section of "
    "KESTEL.INI";
constexpr const char* kConnectCaption = "Error while connecting!";
constexpr const char* kFormClass = "KestelStatusWindow";
constexpr const char* kMprLog = "mpr.log";
constexpr const char* kScriptLog = "script.log";
// The away proxy is put into force at start-up; the local one only once every drive has mapped.
constexpr const char* kAwayProxy = "127.0.0.8:3128";
constexpr const char* kLocalProxy = "127.0.0.9:3128";
constexpr DWORD kBadNetworkName = 67;
constexpr DWORD kLogonFailure = 1326;

// The stand-in provider is loaded because the suite's Wine wrapper puts mpr=n,b in WINEDLLOVERRIDES,
// which kestel.exe inherits; these variables tell it where to log and what to answer.
StartOptions WithProvider(const Sandbox& sandbox, const std::string& rules) {
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf(kMprLog)}, {"KESTEL_MPR_RULES", rules}};
  return options;
}

std::vector<mpr::Call> ProviderCalls(const Sandbox& sandbox) {
  const auto text = sandbox.ReadFile(kMprLog);
  if (!text) return {};
  auto calls = mpr::ParseLog(*text);
  EXPECT_TRUE(calls.has_value()) << "the provider's log is not in its format:\n" << *text;
  return calls.value_or(std::vector<mpr::Call>{});
}

std::vector<mpr::Call> CallsOf(const std::vector<mpr::Call>& calls, std::string_view function) {
  std::vector<mpr::Call> picked;
  for (const auto& call : calls)
    if (call.function == function) picked.push_back(call);
  return picked;
}

// The whole run: every box it shows is read and answered with OK once the test has seen that the
// run waits for it.
struct Outcome {
  std::optional<DWORD> exitCode;
  std::vector<driver::BoxContent> boxes;
  bool waitedForEachBox = true;
};

Outcome RunAnsweringBoxes(Process& process) {
  Outcome outcome;
  constexpr std::size_t kMaxBoxes = 8;
  while (outcome.boxes.size() < kMaxBoxes) {
    std::optional<HWND> box;
    driver::WaitUntil(
        [&] {
          if ((outcome.exitCode = process.WaitExit(Milliseconds{0}))) return true;
          box = driver::FindBox(process.Pid());
          return box.has_value();
        },
        kExitTimeout);
    if (outcome.exitCode || !box) break;
    outcome.boxes.push_back(driver::ReadBox(*box));
    if (process.WaitExit(Milliseconds{200})) outcome.waitedForEachBox = false;
    if (!driver::PressButton(*box, "OK") || !driver::WaitForWindowGone(*box, kExitTimeout)) break;
  }
  if (!outcome.exitCode) outcome.exitCode = process.WaitExit();
  return outcome;
}

std::string Ini(const std::string& server, const std::string& mappings, const std::string& extra = {}) {
  return "[connection]\r\nserver=" + server + "\r\n" + mappings + extra;
}

std::string HomeIni(const Sandbox& sandbox, const std::string& mappings, bool showMapErrors = false) {
  return Ini("127.0.0.1", mappings,
             "[user]\r\nusername=alice\r\npassword=s3cret\r\n"
             "[SCRIPTS]\r\nshowmaperrors=" +
                 std::string(showMapErrors ? "1" : "0") +
                 "\r\n"
                 "[awayinternetsettings]\r\nawayproxyenabled=0\r\nawayproxyserver=" +
                 kAwayProxy + "\r\nawayproxyexceptions=\r\nawayhomepage=about:blank\r\n" +
                 "[localinternetsettings]\r\nlocalproxyenabled=1\r\nlocalproxyserver=" + kLocalProxy +
                 "\r\nlocalproxyexceptions=\r\nlocalhomepage=about:blank\r\n" +
                 "[localpostscripts]\r\n1=" + sandbox.RecordArgsCommand(kScriptLog) + "\r\n");
}

std::optional<std::string> CurrentProxyServer() {
  char value[512];
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "ProxyServer",
                   RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(value);
}

// How often the post-logon program ran.
std::size_t ProgramStarts(const Sandbox& sandbox) {
  const auto starts = sandbox.ReadRecords(kScriptLog);
  EXPECT_TRUE(starts.has_value()) << "the program's log is not in its format";
  return starts ? starts->size() : 0;
}

// The system's text as the box shows it: without the full stop and line break it ends in.
std::string ShownSystemText(DWORD code) {
  char buffer[256];
  const DWORD length = FormatMessageA(0x3200, nullptr, code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  EXPECT_TRUE(text.size() > 3 && text.substr(text.size() - 3) == ".\r\n") << text;
  return text.size() > 3 ? text.substr(0, text.size() - 3) : text;
}

TEST(Drives, StartUpCancelsEveryListedDriveInFileOrderAndIgnoresFailures) {
  Sandbox sandbox;
  // Away, so that start-up is all the run does with the drives.
  sandbox.WriteIni(Ini("kestel-home.invalid",
                       "[Mappings]\r\nZ:=\\\\srv\\z\r\nx:=\\\\srv\\x\r\nLPT1=\\\\srv\\printer\r\n"
                       "M:=\r\n"));
  Process process = sandbox.Start(WithProvider(sandbox, "cancel:*=2250"));
  const Outcome outcome = RunAnsweringBoxes(process);
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  EXPECT_TRUE(outcome.boxes.empty()) << outcome.boxes.front().caption << ": " << outcome.boxes.front().text;

  const auto calls = ProviderCalls(sandbox);
  ASSERT_EQ(calls.size(), 4u);
  const char* const devices[] = {"Z:", "x:", "LPT1", "M:"};
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].function, mpr::kCancelConnection);
    EXPECT_EQ(calls[i].Text("name"), devices[i]);
    EXPECT_EQ(calls[i].Number("flags"), 1u) << "dropped from the remembered connections too";
    EXPECT_EQ(calls[i].Number("force"), 1u);
    EXPECT_EQ(calls[i].Number("result"), 2250u);
  }
}

TEST(Drives, AtHomeEveryDriveIsMappedWithTheStoredCredentialsAndFormAsOwner) {
  Sandbox sandbox;
  const std::string ini =
      HomeIni(sandbox, "[mappings]\r\nH:=\\\\127.0.0.1\\home\\%INTERNALUSERNAME%\r\nS:=\\\\127.0.0.1\\shared\r\n");
  sandbox.WriteIni(ini);
  Process process = sandbox.Start(WithProvider(sandbox, ""));
  const Outcome outcome = RunAnsweringBoxes(process);
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  EXPECT_TRUE(outcome.boxes.empty());

  const auto calls = ProviderCalls(sandbox);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(CallsOf(calls, mpr::kCancelConnection).size(), 2u);
  EXPECT_EQ(calls[0].function, mpr::kCancelConnection) << "every cancellation comes before any mapping";
  EXPECT_EQ(calls[1].function, mpr::kCancelConnection);
  const auto adds = CallsOf(calls, mpr::kAddConnection);
  ASSERT_EQ(adds.size(), 2u);
  const char* const locals[] = {"H:", "S:"};
  const char* const remotes[] = {"\\\\127.0.0.1\\home\\alice", "\\\\127.0.0.1\\shared"};
  for (std::size_t i = 0; i < adds.size(); ++i) {
    const mpr::Call& add = adds[i];
    EXPECT_EQ(add.Text("local"), locals[i]);
    EXPECT_EQ(add.Text("remote"), remotes[i]);
    EXPECT_EQ(add.Text("user"), "alice");
    EXPECT_EQ(add.Text("password"), "s3cret");
    EXPECT_EQ(add.Number("flags"), 8u) << "interactive, never remembered in the profile";
    EXPECT_EQ(add.Number("type"), 1u);
    EXPECT_EQ(add.Number("scope"), 0u);
    EXPECT_EQ(add.Number("display"), 0u);
    EXPECT_EQ(add.Number("usage"), 0u);
    EXPECT_TRUE(add.IsNull("comment"));
    EXPECT_TRUE(add.IsNull("provider"));
    EXPECT_EQ(add.Text("owner"), "window");
    EXPECT_EQ(add.Text("owner_own"), "1");
    EXPECT_EQ(add.Text("owner_class"), kFormClass);
  }
  EXPECT_EQ(sandbox.ReadIni(), ini) << "stored credentials are not written back";
  EXPECT_EQ(ProgramStarts(sandbox), 1u) << "the post-logon program runs once the drives are mapped";
  EXPECT_EQ(CurrentProxyServer(), std::optional<std::string>(kLocalProxy));
}

TEST(Drives, EmptyCredentialsReachTheProviderAsEmptyStrings) {
  Sandbox sandbox;
  sandbox.WriteIni(
      Ini("127.0.0.1", "[mappings]\r\nH:=\\\\127.0.0.1\\home\r\n", "[user]\r\nusername=\r\npassword=\r\n"));
  Process process = sandbox.Start(WithProvider(sandbox, ""));
  EXPECT_EQ(RunAnsweringBoxes(process).exitCode, std::optional<DWORD>(0));
  const auto adds = CallsOf(ProviderCalls(sandbox), mpr::kAddConnection);
  ASSERT_EQ(adds.size(), 1u);
  EXPECT_EQ(adds[0].Text("user"), "");
  EXPECT_EQ(adds[0].Text("password"), "");
}

TEST(Drives, AFailedDriveWithoutDetailsGivesTheSummaryAndStopsTheRun) {
  Sandbox sandbox;
  const std::string ini =
      HomeIni(sandbox, "[mappings]\r\nB:=\\\\127.0.0.1\\bad\r\nG:=\\\\127.0.0.1\\good\r\n", /*showMapErrors=*/false);
  sandbox.WriteIni(ini);
  Process process = sandbox.Start(WithProvider(sandbox, "add:\\\\127.0.0.1\\bad=67"));
  const Outcome outcome = RunAnsweringBoxes(process);

  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_EQ(outcome.boxes[0].caption, kTitle);
  EXPECT_EQ(outcome.boxes[0].text, kSummary);
  EXPECT_TRUE(outcome.waitedForEachBox);
  const auto adds = CallsOf(ProviderCalls(sandbox), mpr::kAddConnection);
  ASSERT_EQ(adds.size(), 2u) << "every drive is tried before the run stops";
  EXPECT_EQ(adds[0].Number("result"), kBadNetworkName);
  EXPECT_EQ(adds[1].Number("result"), 0u);
  EXPECT_EQ(sandbox.ReadIni(), ini);
  EXPECT_EQ(ProgramStarts(sandbox), 0u) << "no post-logon program after a failed drive";
  EXPECT_EQ(CurrentProxyServer(), std::optional<std::string>(kAwayProxy)) << "nor the local internet settings";
}

TEST(Drives, WithDetailsEachFailedDriveHasItsOwnBoxAndNoSummary) {
  Sandbox sandbox;
  const std::string ini =
      HomeIni(sandbox, "[mappings]\r\nB:=\\\\127.0.0.1\\bad\r\nG:=\\\\127.0.0.1\\good\r\nL:=\\\\127.0.0.1\\locked\r\n",
              /*showMapErrors=*/true);
  sandbox.WriteIni(ini);
  Process process = sandbox.Start(WithProvider(sandbox, "add:\\\\127.0.0.1\\bad=67;L:=1326"));
  const Outcome outcome = RunAnsweringBoxes(process);

  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  ASSERT_EQ(outcome.boxes.size(), 2u) << "one box per failed drive, then no summary";
  const DWORD codes[] = {kBadNetworkName, kLogonFailure};
  for (std::size_t i = 0; i < outcome.boxes.size(); ++i) {
    const driver::BoxContent& box = outcome.boxes[i];
    EXPECT_EQ(box.caption, kConnectCaption);
    EXPECT_EQ(box.text, "An error occured while connecting:\r\n" + ShownSystemText(codes[i]));
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_FALSE(box.hasIcon);
  }
  EXPECT_TRUE(outcome.waitedForEachBox);
  EXPECT_EQ(CallsOf(ProviderCalls(sandbox), mpr::kAddConnection).size(), 3u);
  EXPECT_EQ(sandbox.ReadIni(), ini);
  EXPECT_EQ(ProgramStarts(sandbox), 0u);
}

struct NoMappingsCase {
  const char* name;
  const char* section;
};

class NoMappingsAtHome : public ::testing::TestWithParam<NoMappingsCase> {};

TEST_P(NoMappingsAtHome, GoesStraightOnToTheProgram) {
  Sandbox sandbox;
  sandbox.WriteIni(HomeIni(sandbox, GetParam().section));
  Process process = sandbox.Start(WithProvider(sandbox, "*=67"));
  const Outcome outcome = RunAnsweringBoxes(process);
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_TRUE(ProviderCalls(sandbox).empty());
  EXPECT_EQ(ProgramStarts(sandbox), 1u);
}

INSTANTIATE_TEST_SUITE_P(Drives, NoMappingsAtHome,
                         ::testing::Values(NoMappingsCase{"EmptySection", "[mappings]\r\n"},
                                           NoMappingsCase{"NoSection", ""}),
                         CaseName);

}  // namespace
}  // namespace kestel::e2e
