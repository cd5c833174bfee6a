// The ends of a run that need no home server: a missing settings file, a missing server line, and a
// run away from home.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "../tools/MprLog.h"
#include "Harness.h"

namespace kestel::e2e {
namespace {

constexpr const char* kTitle = "KESTEL Network Roaming Software";
constexpr const char* kNotFound = "KESTEL.INI Not Found, this utility cannot work";
constexpr const char* kNoServer = "No [CONNECTION] or SERVER= line in KESTEL.INI";

// Runs kestel.exe in the sandbox to an end that shows no box and exits 0; returns what log recorded.
std::vector<testing::RecordedStart> RunSilently(const Sandbox& sandbox, std::string_view log) {
  Process process = sandbox.Start();
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box) << "unexpected box: " << outcome.box->caption << " / " << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
  const auto records = sandbox.ReadRecords(log);
  EXPECT_TRUE(records) << log << " is not in the recording format";
  return records.value_or(std::vector<testing::RecordedStart>{});
}

// Expects the notice box with text, checks it waits for the user, answers OK and expects exit code 0.
void ExpectNoticeThenExit(Process& process, const std::string& text) {
  const auto box = driver::WaitForBoxContent(process.Pid(), kStartTimeout, kTitle);
  ASSERT_TRUE(box) << "no notice box appeared";
  EXPECT_EQ(box->text, text);
  EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(box->hasIcon);
  EXPECT_FALSE(process.WaitExit(Milliseconds{200})) << "the run must wait until the notice is closed";
  ASSERT_TRUE(driver::PressButton(box->window, "OK"));
  EXPECT_EQ(process.WaitExit(), std::optional<DWORD>(0));
}

// Test output names a case instead of dumping its bytes.
template <class Case>
requires requires(const Case& c) {
  c.name;
}
void PrintTo(const Case& tested, std::ostream* out) {
  *out << tested.name;
}

struct MissingCase {
  const char* name;
  bool directoryInstead;
};

class MissingSettingsFile : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingSettingsFile, GivesOnlyTheNoticeAndWritesNothing) {
  Sandbox sandbox;
  if (GetParam().directoryInstead) sandbox.MakeDirectory("kestel.ini");
  const auto before = sandbox.List();

  Process process = sandbox.Start();
  ExpectNoticeThenExit(process, kNotFound);

  EXPECT_EQ(sandbox.List(), before);
  if (GetParam().directoryInstead) {
    const DWORD attributes = GetFileAttributesA(sandbox.PathOf("kestel.ini").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(sandbox.ReadFile("kestel.ini\\kestel.ini")) << "nothing may be written inside it either";
  }
}

INSTANTIATE_TEST_SUITE_P(RunEnds, MissingSettingsFile,
                         ::testing::Values(MissingCase{"NoFile", false}, MissingCase{"DirectoryOfThatName", true}),
                         CaseName);

// The settings file is looked for beside the program, not in the working folder.
TEST(RunEnds, SettingsFileInTheWorkingFolderDoesNotCount) {
  Sandbox program;
  Sandbox elsewhere;
  elsewhere.WriteIni("[connection]\r\nserver=0.0.0.0\r\n");

  StartOptions options;
  options.workingDir = elsewhere.Dir();
  Process process = program.Start(options);
  ExpectNoticeThenExit(process, kNotFound);
}

struct NoServerCase {
  const char* name;
  const char* connectionSection;
};

class NoServerLine : public ::testing::TestWithParam<NoServerCase> {};

TEST_P(NoServerLine, GivesTheNoticeBeforeAnyProgramRuns) {
  Sandbox sandbox;
  const std::string programs = "[awaypostscripts]\r\naway=" + sandbox.RecordArgsCommand("away.log") +
                               "\r\n[localpostscripts]\r\nlocal=" + sandbox.RecordArgsCommand("local.log") + "\r\n";
  sandbox.WriteIni(std::string(GetParam().connectionSection) + programs);

  Process process = sandbox.Start();
  ExpectNoticeThenExit(process, kNoServer);

  EXPECT_FALSE(sandbox.ReadFile("away.log"));
  EXPECT_FALSE(sandbox.ReadFile("local.log"));
}

INSTANTIATE_TEST_SUITE_P(
    RunEnds, NoServerLine,
    ::testing::Values(NoServerCase{"EmptyFile", ""}, NoServerCase{"NoConnectionSection", "[user]\r\nusername=u1\r\n"},
                      NoServerCase{"SectionWithoutServerKey", "[connection]\r\nhost=127.0.0.1\r\n"},
                      NoServerCase{"MarkerValue", "[connection]\r\nserver=NOSERVER\r\n"},
                      NoServerCase{"MarkerValueAnyCaseOfNames", "[CONNECTION]\r\nSERVER=NOSERVER\r\n"},
                      NoServerCase{"MarkerValueInQuotes", "[Connection]\r\nServer = \"NOSERVER\"\r\n"}),
    CaseName);

struct AwayCase {
  const char* name;
  const char* server;
  const char* scriptsSection;  // what [Scripts] says about showing programs
  bool shown;
};

class AwayRun : public ::testing::TestWithParam<AwayCase> {};

// Each program records after its own delay, so a later program that did not wait for the earlier
// one would record first.
TEST_P(AwayRun, RunsTheAwayProgramsInFileOrderAndEndsSilently) {
  Sandbox sandbox;
  sandbox.WriteIni(std::string("[connection]\r\nserver=") + GetParam().server + "\r\n" + GetParam().scriptsSection +
                   "[localpostscripts]\r\nlocal=" + sandbox.RecordArgsCommand("local.log") +
                   "\r\n"
                   "[awaypostscripts]\r\n"
                   "zeta=" +
                   sandbox.RecordArgsCommand("away.log", "--sleep 400 first") +
                   "\r\n"
                   "alpha=" +
                   sandbox.RecordArgsCommand("away.log", "--sleep 100 second") +
                   "\r\n"
                   "mid=" +
                   sandbox.RecordArgsCommand("away.log", "third") + "\r\n");

  const auto records = RunSilently(sandbox, "away.log");
  ASSERT_EQ(records.size(), 3u);
  const char* expectedEnds[] = {" first", " second", " third"};
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto& start = records[i];
    EXPECT_TRUE(start.commandLine.ends_with(expectedEnds[i])) << start.commandLine;
    EXPECT_TRUE(start.usesShowWindow);
    EXPECT_EQ(start.showWindow, GetParam().shown ? static_cast<std::uint32_t>(SW_SHOW) : SW_HIDE);
  }
  EXPECT_FALSE(sandbox.ReadFile("local.log")) << "a post-logon program ran away from home";
}

INSTANTIATE_TEST_SUITE_P(RunEnds, AwayRun,
                         ::testing::Values(AwayCase{"NoAddress", "0.0.0.0", "", false},
                                           AwayCase{"UnresolvableName", "nosuchhost.invalid", "", false},
                                           AwayCase{"MarkerInOtherCaseIsAName", "noserver", "", false},
                                           AwayCase{"ShownWhenHideScriptsIsZero", "0.0.0.0",
                                                    "[SCRIPTS]\r\nHideScripts=0\r\n", true}),
                         CaseName);

// A program that cannot be started is passed over without a word, and the next one still runs.
TEST(RunEnds, AwayProgramThatCannotStartIsSkippedSilently) {
  Sandbox sandbox;
  sandbox.WriteIni("[connection]\r\nserver=0.0.0.0\r\n[awaypostscripts]\r\nmissing=" + sandbox.PathOf("absent.exe") +
                   "\r\nempty=\r\nnext=" + sandbox.RecordArgsCommand("away.log", "after") + "\r\n");

  const auto records = RunSilently(sandbox, "away.log");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].commandLine.ends_with(" after"));
}

// Servers beyond loopback, in a network namespace that scripts/test.sh sets up for the suite: a home
// server that answers only after about 50 ms, and a server whose only answer is a router's
// "destination unreachable". Only the server's own echo, however late within the wait, means home.
struct ProbeCase {
  const char* name;
  const char* serverVariable;
  bool home;
};

class ProbeBeyondLoopback : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeBeyondLoopback, DecidesOnTheServersOwnAnswer) {
  const char* server = std::getenv(GetParam().serverVariable);
  if (server == nullptr) GTEST_SKIP() << GetParam().serverVariable << " unset: scripts/test.sh sets up the test hosts";
  Sandbox sandbox;
  sandbox.WriteIni("[connection]\r\nserver=" + std::string(server) +
                   "\r\n[user]\r\nusername=u\r\npassword=p\r\n[mappings]\r\nX:=\\\\" + server +
                   "\\share\r\n[localpostscripts]\r\n1=" + sandbox.RecordArgsCommand("local.log") +
                   "\r\n[awaypostscripts]\r\n1=" + sandbox.RecordArgsCommand("away.log") + "\r\n");
  StartOptions options;
  options.env = {{"KESTEL_MPR_LOG", sandbox.PathOf("mpr.log")}};
  Process process = sandbox.Start(options);
  const RunOutcome outcome = RunToEnd(process);
  EXPECT_FALSE(outcome.box) << "unexpected box: " << outcome.box->caption << " / " << outcome.box->text;
  EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));

  const bool home = GetParam().home;
  EXPECT_EQ(sandbox.ReadRecords("local.log").value_or(std::vector<testing::RecordedStart>{}).size(), home ? 1u : 0u);
  EXPECT_EQ(sandbox.ReadRecords("away.log").value_or(std::vector<testing::RecordedStart>{}).size(), home ? 0u : 1u);
  const auto calls = testing::mpr::ReadLog(sandbox.PathOf("mpr.log")).value_or(std::vector<testing::mpr::Call>{});
  const auto mapped = std::count_if(calls.begin(), calls.end(),
                                    [](const auto& call) { return call.function == testing::mpr::kAddConnection; });
  EXPECT_EQ(mapped, home ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(RunEnds, ProbeBeyondLoopback,
                         ::testing::Values(ProbeCase{"LateHomeServer", "KESTEL_HOME_LATE", true},
                                           ProbeCase{"OnlyARoutersUnreachable", "KESTEL_AWAY_UNREACHABLE", false}),
                         CaseName);

}  // namespace
}  // namespace kestel::e2e
